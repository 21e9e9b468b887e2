// The X11 CLIPBOARD selection behind the process-local clipboard.
//
// [SECTION] State and helpers
// [SECTION] Waiting for the server
// [SECTION] Owning the selection and serving requests
// [SECTION] Asking another owner
// [SECTION] Public functions
#include "app/x11_clipboard.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/clipboard.h"
#include "paint/image_file.h"

namespace {

// [SECTION] State and helpers

using TClock = std::chrono::steady_clock;
using TBytes = std::shared_ptr<const std::vector<uint8_t>>;

// How long a paste waits for each answer of another program.
constexpr auto AnswerTimeout = std::chrono::milliseconds(1000);
// An INCR transfer whose requestor takes no chunk for this long is dropped.
constexpr auto StalledTransferTimeout = std::chrono::seconds(5);
// Content from another program larger than this is refused rather than held in memory.
constexpr size_t MaxPastedBytes = size_t(512) << 20;
// Room for the request header of a property change within the server's maximum request.
constexpr long PropertyRequestOverhead = 100;

enum class TOffered
{
    Nothing,
    Image,
    Text,
};

struct TAtoms
{
    Atom Clipboard = None;
    Atom Targets = None;
    Atom Timestamp = None;
    Atom Incr = None;
    Atom Png = None;
    Atom Bmp = None;
    Atom Utf8 = None;
    // Where answers to our requests are put, on our window.
    Atom Answer = None;
    // Appended to with nothing to learn the server's time.
    Atom TimeProbe = None;
};

// One INCR transfer to a requestor: a chunk is written each time it deletes the property.
struct TOutgoingTransfer
{
    Window Requestor = None;
    Atom Property = None;
    Atom Type = None;
    TBytes Data;
    size_t Offset = 0;
    TClock::time_point LastActivity;
};

struct TX11Clipboard
{
    Display* Connection = nullptr;
    Window OwnWindow = None;
    TAtoms Atoms;
    // The most bytes one property change may carry; larger answers go through INCR.
    size_t MaxChunk = 0;
    XErrorHandler PreviousErrorHandler = nullptr;

    // What is offered while our window owns the selection; Png and Bmp are made on first request.
    TOffered Offered = TOffered::Nothing;
    Time OwnedSince = CurrentTime;
    std::vector<uint8_t> Dib;
    std::string Text;
    TBytes Png;
    TBytes Bmp;
    std::vector<TOutgoingTransfer> Transfers;
};

TX11Clipboard x11;

// Requestors may vanish in mid-transfer; the BadWindow that follows must not end the program as
// Xlib's default handler would. Errors on other connections go to the handler we replaced.
int IgnoreErrorsOfOurConnection(Display* display, XErrorEvent* error)
{
    if (display == x11.Connection)
        return 0;
    return x11.PreviousErrorHandler != nullptr ? x11.PreviousErrorHandler(display, error) : 0;
}

// STRING is Latin-1; our text is UTF-8. Characters beyond Latin-1 become '?', and a byte that
// starts no valid sequence is taken as Latin-1 already.
std::string Utf8ToLatin1(std::string_view text)
{
    std::string latin1;
    for (size_t i = 0; i < text.size(); i++) {
        const uint8_t byte = uint8_t(text[i]);
        size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        if (byte < 0x80 || length == 1 || i + length > text.size() ||
            !std::all_of(text.begin() + i + 1, text.begin() + i + length,
                         [](char c) { return (uint8_t(c) & 0xC0) == 0x80; })) {
            latin1 += char(byte);
            continue;
        }
        latin1 +=
            length == 2 && byte <= 0xC3 ? char(((byte & 0x1F) << 6) | (uint8_t(text[i + 1]) & 0x3F)) : '?';
        i += length - 1;
    }
    return latin1;
}

std::string Latin1ToUtf8(std::string_view text)
{
    std::string utf8;
    for (char c : text) {
        const uint8_t byte = uint8_t(c);
        if (byte < 0x80) {
            utf8 += c;
        } else {
            utf8 += char(0xC0 | (byte >> 6));
            utf8 += char(0x80 | (byte & 0x3F));
        }
    }
    return utf8;
}

TBytes BytesOf(std::string_view text)
{
    return std::make_shared<const std::vector<uint8_t>>(text.begin(), text.end());
}

// [SECTION] Waiting for the server

void Dispatch(const XEvent& event);

// Handles events until one matches or the answer timeout passes; out_event receives the match.
template <typename TMatch> bool WaitForEvent(TMatch matches, XEvent& out_event)
{
    const TClock::time_point deadline = TClock::now() + AnswerTimeout;
    for (;;) {
        while (XPending(x11.Connection) > 0) {
            XNextEvent(x11.Connection, &out_event);
            if (matches(out_event))
                return true;
            Dispatch(out_event);
        }
        const auto remaining =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TClock::now()).count();
        if (remaining <= 0)
            return false;
        pollfd connection{ConnectionNumber(x11.Connection), POLLIN, 0};
        poll(&connection, 1, int(remaining));
    }
}

// The server's time now, for taking the selection: ICCCM asks owners not to use CurrentTime.
Time ServerTime()
{
    XChangeProperty(x11.Connection, x11.OwnWindow, x11.Atoms.TimeProbe, XA_STRING, 8, PropModeAppend,
                    reinterpret_cast<const unsigned char*>(""), 0);
    XEvent event;
    const bool answered = WaitForEvent(
        [](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == x11.OwnWindow &&
                   e.xproperty.atom == x11.Atoms.TimeProbe;
        },
        event);
    return answered ? event.xproperty.time : CurrentTime;
}

// Reads and deletes a property of our window. Elements of format 32 come as longs, as Xlib gives
// them.
bool TakeProperty(Atom property, Atom& out_type, std::vector<uint8_t>& out_bytes)
{
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long bytes_after = 0;
    unsigned char* data = nullptr;
    // The size first, then all of it at once.
    if (XGetWindowProperty(x11.Connection, x11.OwnWindow, property, 0, 0, False, AnyPropertyType, &type,
                           &format, &count, &bytes_after, &data) != Success)
        return false;
    if (data != nullptr)
        XFree(data);
    if (type == None)
        return false;
    if (bytes_after > MaxPastedBytes) {
        XDeleteProperty(x11.Connection, x11.OwnWindow, property);
        return false;
    }
    if (XGetWindowProperty(x11.Connection, x11.OwnWindow, property, 0, long((bytes_after + 3) / 4), True,
                           AnyPropertyType, &type, &format, &count, &bytes_after, &data) != Success)
        return false;
    const size_t element_size = format == 32 ? sizeof(long) : format == 16 ? sizeof(short) : 1;
    out_bytes.assign(data, data + count * element_size);
    if (data != nullptr)
        XFree(data);
    out_type = type;
    return true;
}

// [SECTION] Owning the selection and serving requests

void DropOffer()
{
    x11.Offered = TOffered::Nothing;
    x11.Dib.clear();
    x11.Dib.shrink_to_fit();
    x11.Text.clear();
    x11.Png.reset();
    x11.Bmp.reset();
}

void TakeSelection(TOffered offered)
{
    x11.Offered = offered;
    x11.OwnedSince = ServerTime();
    XSetSelectionOwner(x11.Connection, x11.Atoms.Clipboard, x11.OwnWindow, x11.OwnedSince);
    if (XGetSelectionOwner(x11.Connection, x11.Atoms.Clipboard) != x11.OwnWindow)
        DropOffer();
}

void OfferImage(std::span<const uint8_t> dib)
{
    DropOffer();
    x11.Dib.assign(dib.begin(), dib.end());
    TakeSelection(TOffered::Image);
}

void OfferText(std::string_view text)
{
    DropOffer();
    x11.Text = text;
    TakeSelection(TOffered::Text);
}

// The offered image as the bytes of target (image/png or image/bmp); null when it cannot be made.
TBytes ImageBytes(Atom target)
{
    if (target == x11.Atoms.Png && x11.Png == nullptr) {
        std::vector<uint8_t> rgb;
        int32_t width = 0;
        int32_t height = 0;
        auto png = std::make_shared<std::vector<uint8_t>>();
        std::string error;
        if (ReadDibPixels(x11.Dib, rgb, width, height) && EncodePng(rgb, width, height, *png, error))
            x11.Png = std::move(png);
    }
    if (target == x11.Atoms.Bmp && x11.Bmp == nullptr) {
        uint8_t file_header[BmpFileHeaderSize];
        MakeBmpFileHeader(x11.Dib.size(), file_header);
        auto bmp = std::make_shared<std::vector<uint8_t>>(BmpFileHeaderSize + x11.Dib.size());
        std::copy(std::begin(file_header), std::end(file_header), bmp->begin());
        std::copy(x11.Dib.begin(), x11.Dib.end(), bmp->begin() + BmpFileHeaderSize);
        x11.Bmp = std::move(bmp);
    }
    return target == x11.Atoms.Png ? x11.Png : x11.Bmp;
}

// Puts data on the requestor's property, at once or, when too large for one request, through INCR:
// the property then holds the size, and each deletion by the requestor fetches the next chunk.
void PutAnswer(Window requestor, Atom property, Atom type, TBytes data)
{
    if (data->size() <= x11.MaxChunk) {
        XChangeProperty(x11.Connection, requestor, property, type, 8, PropModeReplace, data->data(),
                        int(data->size()));
        return;
    }
    XSelectInput(x11.Connection, requestor, PropertyChangeMask);
    const long size = long(data->size());
    XChangeProperty(x11.Connection, requestor, property, x11.Atoms.Incr, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&size), 1);
    x11.Transfers.push_back({requestor, property, type, std::move(data), 0, TClock::now()});
}

// Writes target on the requestor's property; false when we cannot give it.
bool Answer(Window requestor, Atom property, Atom target)
{
    const TAtoms& atoms = x11.Atoms;
    if (target == atoms.Targets) {
        std::vector<long> targets = {long(atoms.Targets), long(atoms.Timestamp)};
        if (x11.Offered == TOffered::Image)
            targets.insert(targets.end(), {long(atoms.Png), long(atoms.Bmp)});
        else
            targets.insert(targets.end(), {long(atoms.Utf8), long(XA_STRING)});
        XChangeProperty(x11.Connection, requestor, property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(targets.data()), int(targets.size()));
        return true;
    }
    if (target == atoms.Timestamp) {
        const long time = long(x11.OwnedSince);
        XChangeProperty(x11.Connection, requestor, property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&time), 1);
        return true;
    }
    TBytes data;
    if (x11.Offered == TOffered::Image && (target == atoms.Png || target == atoms.Bmp))
        data = ImageBytes(target);
    else if (x11.Offered == TOffered::Text && target == atoms.Utf8)
        data = BytesOf(x11.Text);
    else if (x11.Offered == TOffered::Text && target == XA_STRING)
        data = BytesOf(Utf8ToLatin1(x11.Text));
    if (data == nullptr)
        return false;
    PutAnswer(requestor, property, target, std::move(data));
    return true;
}

void ServeRequest(const XSelectionRequestEvent& request)
{
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = request.display;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    // Clients of before ICCCM 2 name no property: the target's name serves as one.
    const Atom property = request.property != None ? request.property : request.target;
    if (request.selection == x11.Atoms.Clipboard && request.owner == x11.OwnWindow &&
        x11.Offered != TOffered::Nothing && Answer(request.requestor, property, request.target))
        reply.xselection.property = property;
    XSendEvent(x11.Connection, request.requestor, False, NoEventMask, &reply);
}

void ContinueTransfer(const XPropertyEvent& event)
{
    auto transfer = std::find_if(x11.Transfers.begin(), x11.Transfers.end(), [&](const TOutgoingTransfer& t) {
        return t.Requestor == event.window && t.Property == event.atom;
    });
    if (transfer == x11.Transfers.end())
        return;
    // An empty chunk after the last one ends the transfer.
    const size_t length = std::min(x11.MaxChunk, transfer->Data->size() - transfer->Offset);
    XChangeProperty(x11.Connection, transfer->Requestor, transfer->Property, transfer->Type, 8,
                    PropModeReplace, transfer->Data->data() + transfer->Offset, int(length));
    transfer->Offset += length;
    transfer->LastActivity = TClock::now();
    if (length == 0) {
        const Window requestor = transfer->Requestor;
        x11.Transfers.erase(transfer);
        if (std::none_of(x11.Transfers.begin(), x11.Transfers.end(),
                         [&](const TOutgoingTransfer& t) { return t.Requestor == requestor; }))
            XSelectInput(x11.Connection, requestor, NoEventMask);
    }
}

void Dispatch(const XEvent& event)
{
    switch (event.type) {
    case SelectionRequest:
        ServeRequest(event.xselectionrequest);
        break;
    case SelectionClear:
        // A clear that is older than our latest taking of the selection changes nothing.
        if (event.xselectionclear.selection == x11.Atoms.Clipboard &&
            XGetSelectionOwner(x11.Connection, x11.Atoms.Clipboard) != x11.OwnWindow)
            DropOffer();
        break;
    case PropertyNotify:
        if (event.xproperty.state == PropertyDelete && event.xproperty.window != x11.OwnWindow)
            ContinueTransfer(event.xproperty);
        break;
    default:
        break;
    }
}

// [SECTION] Asking another owner

// Asks the owner for target; out_bytes receives the answer, gathered from INCR chunks if it
// comes that way.
bool Convert(Atom target, std::vector<uint8_t>& out_bytes)
{
    const Atom answer = x11.Atoms.Answer;
    XDeleteProperty(x11.Connection, x11.OwnWindow, answer);
    XConvertSelection(x11.Connection, x11.Atoms.Clipboard, target, answer, x11.OwnWindow, CurrentTime);
    XEvent event;
    const bool notified = WaitForEvent(
        [&](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == x11.OwnWindow &&
                   e.xselection.selection == x11.Atoms.Clipboard && e.xselection.target == target;
        },
        event);
    Atom type = None;
    if (!notified || event.xselection.property == None || !TakeProperty(answer, type, out_bytes))
        return false;
    if (type != x11.Atoms.Incr)
        return true;
    // Deleting the INCR property (TakeProperty did) asks for the first chunk; an empty one ends.
    out_bytes.clear();
    for (;;) {
        const bool chunk_came = WaitForEvent(
            [&](const XEvent& e) {
                return e.type == PropertyNotify && e.xproperty.window == x11.OwnWindow &&
                       e.xproperty.atom == answer && e.xproperty.state == PropertyNewValue;
            },
            event);
        std::vector<uint8_t> chunk;
        if (!chunk_came || !TakeProperty(answer, type, chunk))
            return false;
        if (chunk.empty())
            return true;
        if (out_bytes.size() + chunk.size() > MaxPastedBytes)
            return false;
        out_bytes.insert(out_bytes.end(), chunk.begin(), chunk.end());
    }
}

// Whether the paste must ask another program: it owns the selection.
bool AnotherProgramOwns()
{
    const Window owner = XGetSelectionOwner(x11.Connection, x11.Atoms.Clipboard);
    return owner != None && owner != x11.OwnWindow;
}

std::vector<Atom> OfferedTargets()
{
    std::vector<uint8_t> bytes;
    std::vector<Atom> targets;
    if (!Convert(x11.Atoms.Targets, bytes))
        return targets;
    const long* atoms = reinterpret_cast<const long*>(bytes.data());
    for (size_t i = 0; i < bytes.size() / sizeof(long); i++)
        targets.push_back(Atom(atoms[i]));
    return targets;
}

bool Offers(const std::vector<Atom>& targets, Atom target)
{
    return std::find(targets.begin(), targets.end(), target) != targets.end();
}

TZAVClipboardFetch FetchImage(std::vector<uint8_t>& out_dib)
{
    if (!AnotherProgramOwns())
        return TZAVClipboardFetch::Local;
    const std::vector<Atom> targets = OfferedTargets();
    for (Atom target : {x11.Atoms.Png, x11.Atoms.Bmp}) {
        std::vector<uint8_t> bytes;
        if (!Offers(targets, target) || !Convert(target, bytes))
            continue;
        TZAVPixelBuffer pixels;
        int32_t width = 0;
        int32_t height = 0;
        std::string error;
        if (DecodeImageBytes(bytes, pixels, width, height, error) &&
            MakeDib(pixels.get(), width, height, out_dib))
            return TZAVClipboardFetch::Found;
    }
    return TZAVClipboardFetch::Missing;
}

TZAVClipboardFetch FetchText(std::string& out_text)
{
    if (!AnotherProgramOwns())
        return TZAVClipboardFetch::Local;
    const std::vector<Atom> targets = OfferedTargets();
    std::vector<uint8_t> bytes;
    if (Offers(targets, x11.Atoms.Utf8) && Convert(x11.Atoms.Utf8, bytes)) {
        out_text.assign(bytes.begin(), bytes.end());
        return TZAVClipboardFetch::Found;
    }
    if (Offers(targets, XA_STRING) && Convert(XA_STRING, bytes)) {
        out_text = Latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return TZAVClipboardFetch::Found;
    }
    return TZAVClipboardFetch::Missing;
}

const TZAVClipboardBackend X11Backend{OfferImage, OfferText, FetchImage, FetchText};

} // namespace

// [SECTION] Public functions

bool InstallX11Clipboard(const char* display_name)
{
    RemoveX11Clipboard();
    Display* connection = XOpenDisplay(display_name);
    if (connection == nullptr)
        return false;
    x11.Connection = connection;
    x11.PreviousErrorHandler = XSetErrorHandler(IgnoreErrorsOfOurConnection);

    XSetWindowAttributes attributes{};
    attributes.event_mask = PropertyChangeMask;
    x11.OwnWindow = XCreateWindow(connection, DefaultRootWindow(connection), 0, 0, 1, 1, 0, CopyFromParent,
                                  InputOnly, CopyFromParent, CWEventMask, &attributes);
    const char* names[] = {"CLIPBOARD",
                           "TARGETS",
                           "TIMESTAMP",
                           "INCR",
                           "image/png",
                           "image/bmp",
                           "UTF8_STRING",
                           "TARNWICK_CLIPBOARD_ANSWER",
                           "TARNWICK_CLIPBOARD_TIME"};
    Atom atoms[std::size(names)];
    XInternAtoms(connection, const_cast<char**>(names), int(std::size(names)), False, atoms);
    x11.Atoms = {atoms[0], atoms[1], atoms[2], atoms[3], atoms[4], atoms[5], atoms[6], atoms[7], atoms[8]};
    // XMaxRequestSize counts 4-byte units; the big-requests extension is not relied upon, as
    // requestors expect INCR above the plain limit.
    x11.MaxChunk = size_t(std::max(4096L, XMaxRequestSize(connection) * 4 - PropertyRequestOverhead));
    SetClipboardBackend(&X11Backend);
    return true;
}

void RemoveX11Clipboard()
{
    if (x11.Connection == nullptr)
        return;
    SetClipboardBackend(nullptr);
    XDestroyWindow(x11.Connection, x11.OwnWindow);
    XCloseDisplay(x11.Connection);
    // Another handler installed after ours stays.
    const XErrorHandler current = XSetErrorHandler(x11.PreviousErrorHandler);
    if (current != IgnoreErrorsOfOurConnection)
        XSetErrorHandler(current);
    x11 = TX11Clipboard{};
}

bool X11ClipboardActive()
{
    return x11.Connection != nullptr;
}

void PumpX11Clipboard()
{
    if (x11.Connection == nullptr)
        return;
    while (XPending(x11.Connection) > 0) {
        XEvent event;
        XNextEvent(x11.Connection, &event);
        Dispatch(event);
    }
    const TClock::time_point now = TClock::now();
    std::erase_if(x11.Transfers,
                  [&](const TOutgoingTransfer& t) { return now - t.LastActivity > StalledTransferTimeout; });
    XFlush(x11.Connection);
}
