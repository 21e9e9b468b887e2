// The clipboard against other programs on the display: a second connection of the test reads what
// we copy, and child processes own the selection for our pastes. Run under xvfb-run -a.
// gtest before Xlib, whose macros (None, Bool) clash with its names.
#include <gtest/gtest.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/x11_clipboard.h"
#include "core/clipboard.h"
#include "paint/image_file.h"

namespace {

// Long enough for any answer; only a broken transfer waits this out.
constexpr auto GiveUpAfter = std::chrono::seconds(5);

// Pseudo-random pixels, which PNG cannot squeeze below one request when the image is large.
std::vector<uint8_t> NoisePixels(int32_t width, int32_t height)
{
    std::vector<uint8_t> pixels(size_t(width) * size_t(height) * 3);
    uint32_t state = 12345;
    for (uint8_t& value : pixels) {
        state = state * 1664525u + 1013904223u;
        value = uint8_t(state >> 24);
    }
    return pixels;
}

std::vector<uint8_t> DecodedPixels(const std::vector<uint8_t>& bytes)
{
    TZAVPixelBuffer pixels;
    int32_t width = 0;
    int32_t height = 0;
    std::string error;
    if (!DecodeImageBytes(bytes, pixels, width, height, error)) {
        ADD_FAILURE() << error;
        return {};
    }
    return std::vector<uint8_t>(pixels.get(), pixels.get() + size_t(width) * size_t(height) * 3);
}

std::vector<uint8_t> PastedPixels()
{
    std::vector<uint8_t> dib;
    std::vector<uint8_t> rgb;
    int32_t width = 0;
    int32_t height = 0;
    if (!GetClipboardImage(dib) || !ReadDibPixels(dib, rgb, width, height))
        return {};
    return rgb;
}

// Another program in this process: its own connection, read single-threaded while our side is
// pumped between polls.
class TPeer
{
public:
    Display* Connection = XOpenDisplay(nullptr);
    Window OwnWindow = None;

    TPeer()
    {
        XSetWindowAttributes attributes{};
        attributes.event_mask = PropertyChangeMask;
        OwnWindow = XCreateWindow(Connection, DefaultRootWindow(Connection), 0, 0, 1, 1, 0, CopyFromParent,
                                  InputOnly, CopyFromParent, CWEventMask, &attributes);
    }
    ~TPeer() { XCloseDisplay(Connection); }

    Atom Intern(const char* name) { return XInternAtom(Connection, name, False); }

    // Asks the clipboard's owner for target, the way toolkits do, INCR included.
    bool Convert(const char* target_name, std::vector<uint8_t>& out_bytes, bool& out_incr)
    {
        const Atom target = Intern(target_name);
        const Atom property = Intern("PEER_ANSWER");
        XConvertSelection(Connection, Intern("CLIPBOARD"), target, property, OwnWindow, CurrentTime);
        XEvent event;
        if (!Wait([&](const XEvent& e) { return e.type == SelectionNotify && e.xselection.target == target; },
                  event) ||
            event.xselection.property == None)
            return false;
        Atom type = Take(property, out_bytes);
        out_incr = type == Intern("INCR");
        if (!out_incr)
            return type != None;
        out_bytes.clear();
        for (;;) {
            if (!Wait(
                    [&](const XEvent& e) {
                        return e.type == PropertyNotify && e.xproperty.atom == property &&
                               e.xproperty.state == PropertyNewValue;
                    },
                    event))
                return false;
            std::vector<uint8_t> chunk;
            Take(property, chunk);
            if (chunk.empty())
                return true;
            out_bytes.insert(out_bytes.end(), chunk.begin(), chunk.end());
        }
    }

    std::vector<Atom> Targets()
    {
        std::vector<uint8_t> bytes;
        bool incr = false;
        if (!Convert("TARGETS", bytes, incr))
            return {};
        const Atom* atoms = reinterpret_cast<const Atom*>(bytes.data());
        return std::vector<Atom>(atoms, atoms + bytes.size() / sizeof(Atom));
    }

private:
    bool Wait(const std::function<bool(const XEvent&)>& matches, XEvent& out_event)
    {
        const auto deadline = std::chrono::steady_clock::now() + GiveUpAfter;
        while (std::chrono::steady_clock::now() < deadline) {
            PumpX11Clipboard();
            while (XPending(Connection) > 0) {
                XNextEvent(Connection, &out_event);
                if (matches(out_event))
                    return true;
            }
            pollfd connection{ConnectionNumber(Connection), POLLIN, 0};
            poll(&connection, 1, 1);
        }
        return false;
    }

    // Reads and deletes the property; its type, None when missing.
    Atom Take(Atom property, std::vector<uint8_t>& out_bytes)
    {
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long bytes_after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(Connection, OwnWindow, property, 0, 1L << 24, True, AnyPropertyType, &type,
                           &format, &count, &bytes_after, &data);
        const size_t element_size = format == 32 ? sizeof(long) : size_t(format / 8);
        out_bytes.assign(data, data + count * element_size);
        if (data != nullptr)
            XFree(data);
        return type;
    }
};

// A child process standing for another program: body runs there, writes a byte on ready once it owns
// the selection, and returns when stop becomes readable (the pipe closes as this object goes).
class TChildProgram
{
public:
    explicit TChildProgram(const std::function<void(int ready, int stop)>& body)
    {
        int ready[2];
        int stop[2];
        if (pipe(ready) != 0 || pipe(stop) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(stop[1]);
            body(ready[1], stop[0]);
            _exit(0);
        }
        close(ready[1]);
        close(stop[0]);
        stop_ = stop[1];
        char byte = 0;
        Ready = read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~TChildProgram()
    {
        close(stop_);
        int status = 0;
        waitpid(pid_, &status, 0);
    }
    bool Ready = false;

private:
    pid_t pid_ = -1;
    int stop_ = -1;
};

bool Readable(int fd, int timeout_ms)
{
    pollfd poller{fd, POLLIN, 0};
    return poll(&poller, 1, timeout_ms) > 0;
}

// Owns CLIPBOARD on a plain Xlib connection and answers TARGETS and image/png with png.
void ServePng(const std::vector<uint8_t>& png, int ready, int stop)
{
    Display* connection = XOpenDisplay(nullptr);
    Window window = XCreateSimpleWindow(connection, DefaultRootWindow(connection), 0, 0, 1, 1, 0, 0, 0);
    const Atom clipboard = XInternAtom(connection, "CLIPBOARD", False);
    const Atom targets = XInternAtom(connection, "TARGETS", False);
    const Atom image_png = XInternAtom(connection, "image/png", False);
    XSetSelectionOwner(connection, clipboard, window, CurrentTime);
    XSync(connection, False);
    (void)!write(ready, "r", 1);
    while (!Readable(stop, 0)) {
        while (XPending(connection) > 0) {
            XEvent event;
            XNextEvent(connection, &event);
            if (event.type != SelectionRequest)
                continue;
            const XSelectionRequestEvent& request = event.xselectionrequest;
            XEvent reply{};
            reply.xselection = {SelectionNotify,
                                0,
                                True,
                                connection,
                                request.requestor,
                                request.selection,
                                request.target,
                                request.property,
                                request.time};
            if (request.target == targets) {
                const long offered[] = {long(targets), long(image_png)};
                XChangeProperty(connection, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                                reinterpret_cast<const unsigned char*>(offered), 2);
            } else if (request.target == image_png) {
                XChangeProperty(connection, request.requestor, request.property, image_png, 8,
                                PropModeReplace, png.data(), int(png.size()));
            } else {
                reply.xselection.property = None;
            }
            XSendEvent(connection, request.requestor, False, NoEventMask, &reply);
            XFlush(connection);
        }
        Readable(ConnectionNumber(connection), 1);
    }
    // Leaves the selection without an owner before the program goes.
    XSetSelectionOwner(connection, clipboard, None, CurrentTime);
    XSync(connection, False);
}

class X11Clipboard : public ::testing::Test
{
protected:
    // The server resets when its last client leaves, which would refuse the connections of a test
    // that closes ours and opens it again.
    static void SetUpTestSuite() { keeper_ = XOpenDisplay(nullptr); }
    static void TearDownTestSuite()
    {
        if (keeper_ != nullptr)
            XCloseDisplay(keeper_);
    }
    static inline Display* keeper_ = nullptr;

    void SetUp() override
    {
        const char* display = std::getenv("DISPLAY");
        ASSERT_TRUE(display != nullptr && display[0] != '\0') << "run under xvfb-run -a";
        ASSERT_TRUE(InstallX11Clipboard());
    }
    void TearDown() override { RemoveX11Clipboard(); }
};

TEST_F(X11Clipboard, CopiesReachOtherProgramsAsPngBmpAndText)
{
    const std::vector<uint8_t> pixels = NoisePixels(5, 3);
    ASSERT_TRUE(CopyImageToClipboard(GlobalDialogHost, pixels.data(), 5, 3));
    TPeer peer;
    const std::vector<Atom> targets = peer.Targets();
    for (const char* name : {"TARGETS", "TIMESTAMP", "image/png", "image/bmp"})
        EXPECT_NE(std::find(targets.begin(), targets.end(), peer.Intern(name)), targets.end()) << name;
    for (const char* format : {"image/png", "image/bmp"}) {
        std::vector<uint8_t> bytes;
        bool incr = false;
        ASSERT_TRUE(peer.Convert(format, bytes, incr)) << format;
        EXPECT_EQ(DecodedPixels(bytes), pixels) << format;
    }

    ASSERT_TRUE(SetClipboardText("Nas\xC3\xA9 \xE2\x82\xAC"));
    std::vector<uint8_t> bytes;
    bool incr = false;
    EXPECT_FALSE(peer.Convert("image/png", bytes, incr));
    ASSERT_TRUE(peer.Convert("UTF8_STRING", bytes, incr));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Nas\xC3\xA9 \xE2\x82\xAC");
    ASSERT_TRUE(peer.Convert("STRING", bytes, incr));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Nas\xE9 ?");
}

TEST_F(X11Clipboard, LargeImagesTravelInChunks)
{
    const std::vector<uint8_t> pixels = NoisePixels(1024, 1024);
    ASSERT_TRUE(CopyImageToClipboard(GlobalDialogHost, pixels.data(), 1024, 1024));
    {
        TPeer peer;
        std::vector<uint8_t> bytes;
        bool incr = false;
        ASSERT_TRUE(peer.Convert("image/bmp", bytes, incr));
        EXPECT_TRUE(incr);
        EXPECT_EQ(DecodedPixels(bytes), pixels);
    }

    // Our own side reading the chunks: another instance of the program copies the image.
    RemoveX11Clipboard();
    ASSERT_TRUE(SetClipboardText("ours"));
    TChildProgram other_instance([&](int ready, int stop) {
        InstallX11Clipboard();
        (void)CopyImageToClipboard(GlobalDialogHost, pixels.data(), 1024, 1024);
        (void)!write(ready, "r", 1);
        while (!Readable(stop, 1))
            PumpX11Clipboard();
    });
    ASSERT_TRUE(other_instance.Ready);
    ASSERT_TRUE(InstallX11Clipboard());
    EXPECT_EQ(PastedPixels(), pixels);
}

TEST_F(X11Clipboard, PastesTakeAnotherProgramsImageOverOurOwnCopy)
{
    ASSERT_TRUE(SetClipboardText("ours"));
    const std::vector<uint8_t> pixels = NoisePixels(7, 4);
    std::vector<uint8_t> png;
    std::string error;
    ASSERT_TRUE(EncodePng(pixels, 7, 4, png, error)) << error;
    {
        TChildProgram other([&](int ready, int stop) { ServePng(png, ready, stop); });
        ASSERT_TRUE(other.Ready);
        EXPECT_EQ(PastedPixels(), pixels);
        // It offers no text, and our older copy is not pasted in its place.
        std::string text;
        EXPECT_FALSE(GetClipboardText(text));
    }
    // With no owner left, our last copy comes back.
    std::string text;
    ASSERT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, "ours");
}

TEST(X11ClipboardWithoutDisplay, TheLocalClipboardStillWorks)
{
    EXPECT_FALSE(InstallX11Clipboard("no-such-display"));
    EXPECT_FALSE(X11ClipboardActive());
    PumpX11Clipboard();
    const std::vector<uint8_t> pixels = NoisePixels(2, 2);
    ASSERT_TRUE(CopyImageToClipboard(GlobalDialogHost, pixels.data(), 2, 2));
    EXPECT_EQ(PastedPixels(), pixels);
}

} // namespace
