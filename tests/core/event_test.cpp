#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/event.h"
#include "core/event_queue.h"
#include "core/report.h"

namespace {

std::vector<int32_t> run_order;
std::vector<std::string> fatal_texts;
std::vector<std::string> fatal_titles;
std::vector<std::string> drawings;
double fake_now = 0.0;

void RecordRun(TZAVEvent* event)
{
    run_order.push_back(event->GetID());
}

void RecordFatal(const char* text, const char* title)
{
    fatal_texts.push_back(text);
    fatal_titles.push_back(title);
}

class EventQueue : public testing::Test
{
protected:
    void SetUp() override
    {
        while (PopEvent()) {
        }
        run_order.clear();
        fatal_texts.clear();
        fatal_titles.clear();
        drawings.clear();
        fake_now = 100.0;
        SetFatalHook(RecordFatal);
        SetDefaultEventHandler(RecordRun);
        SetBusyClock([] { return fake_now; });
        SetBusyDrawHook([](const char* text) { drawings.push_back(text); });
    }
    void TearDown() override
    {
        SetFatalHook(nullptr);
        SetDefaultEventHandler(nullptr);
        SetPostHook(nullptr);
        SetAfterProcessingHook(nullptr);
        SetBusyClock(nullptr);
        SetBusyDrawHook(nullptr);
        SuppressProgressTicks(false);
    }
};

TEST(Event, CopyOwnsItsStringsAndCarriesTheRest)
{
    int context = 0;
    auto prepared = std::make_unique<TZAVEvent>(RecordRun, &context, 30);
    prepared->AddStringParameter("first", 0);
    prepared->AddStringParameter("replaced", 15);
    prepared->AddStringParameter("last", 15);
    prepared->IntegerParameters[3] = 42;
    prepared->SetWindowX(311);

    TZAVEvent copy(*prepared);
    prepared.reset();

    EXPECT_STREQ(copy.GetStringParameter(0), "first");
    EXPECT_STREQ(copy.GetStringParameter(15), "last");
    EXPECT_EQ(copy.GetStringParameter(1), nullptr);
    EXPECT_EQ(copy.IntegerParameters[3], 42);
    EXPECT_EQ(copy.Context, &context);
    // The posting widget sets the window position on each copy.
    EXPECT_EQ(copy.WindowX, 0);
}

TEST(Event, StringSlotsOutsideTheRangeRaise)
{
    TZAVEvent event(1);
    EXPECT_THROW(event.AddStringParameter("text", -1), TZAVError);
    EXPECT_THROW(event.AddStringParameter("text", 16), TZAVError);
    EXPECT_THROW((void)event.GetStringParameter(16), TZAVError);
}

void PostFollowUp(TZAVEvent* event)
{
    RecordRun(event);
    PostCommand(event->GetID() + 100);
    // A nested call must not run the follow-up, nor anything else, early.
    TarnwickEvents_ProcessEvents();
}

TEST_F(EventQueue, FollowUpsWaitForTheNextPass)
{
    EXPECT_EQ(PopEvent(), nullptr);
    PostEvent(new TZAVEvent(PostFollowUp, nullptr, 1));
    PostCommand(2);
    PostCommand(3);
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(run_order, (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(QueuedEventCount(), 1);

    PostCommand(4);
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(run_order, (std::vector<int32_t>{1, 2, 3, 101, 4}));
    EXPECT_EQ(QueuedEventCount(), 0);
}

TEST_F(EventQueue, PostHookSeesEveryEventAndAnswersForIt)
{
    static std::vector<int32_t> seen;
    seen.clear();
    SetPostHook([](TZAVEvent* event) {
        seen.push_back(event->GetID());
        return event->GetID() != 9;
    });
    EXPECT_TRUE(PostCommand(8));
    EXPECT_FALSE(PostCommand(9));
    EXPECT_FALSE(PostEvent(nullptr));
    EXPECT_EQ(seen, (std::vector<int32_t>{8, 9}));
    // The hook only answers; both events are queued.
    EXPECT_EQ(QueuedEventCount(), 2);
}

TEST_F(EventQueue, FailingHandlersReachTheFatalHookAndThePassGoesOn)
{
    static int after_passes = 0;
    after_passes = 0;
    SetAfterProcessingHook([] { after_passes++; });
    PostEvent(new TZAVEvent([](TZAVEvent*) { ReportError("Broken command %d", 5); }, nullptr, 1));
    PostEvent(new TZAVEvent([](TZAVEvent*) { throw std::bad_alloc(); }, nullptr, 2));
    PostEvent(new TZAVEvent([](TZAVEvent*) { throw 17; }, nullptr, 3));
    PostCommand(4);
    TarnwickEvents_ProcessEvents();

    EXPECT_EQ(fatal_texts, (std::vector<std::string>{"Broken command 5", "Bad memory allocation",
                                                     "Unknown exception, probably and access violation"}));
    for (const std::string& title : fatal_titles)
        EXPECT_EQ(title, "TarnwickEvents_ProcessEvents()");
    EXPECT_EQ(run_order, (std::vector<int32_t>{4}));
    EXPECT_FALSE(IsProcessingEvents());
    EXPECT_EQ(after_passes, 1);

    // Posting after a failure goes to the main queue, not to a stuck holding list.
    PostCommand(5);
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(run_order, (std::vector<int32_t>{4, 5}));
}

TEST_F(EventQueue, EventWithoutAnyHandlerIsReported)
{
    SetDefaultEventHandler(nullptr);
    PostCommand(77);
    TarnwickEvents_ProcessEvents();
    EXPECT_EQ(fatal_texts, (std::vector<std::string>{"No handler for the event with ID = 77"}));
    EXPECT_EQ(QueuedEventCount(), 0);
}

void TickEveryThirdOfASecond(TZAVEvent*)
{
    for (int i = 0; i < 10; i++) {
        fake_now += 0.3;
        TarnwickEvents_ProgressTick();
    }
}

TEST_F(EventQueue, ProgressTicksDrawAtMostEveryHalfSecond)
{
    static std::vector<double> drawn_at;
    drawn_at.clear();
    SetBusyDrawHook([](const char*) { drawn_at.push_back(fake_now); });
    PostEvent(new TZAVEvent(TickEveryThirdOfASecond, nullptr, 1));
    TarnwickEvents_ProcessEvents();
    // Ticks at 0.3 .. 3.0 seconds: drawings at 0.6, 1.2, 1.8, 2.4 and 3.0.
    ASSERT_EQ(drawn_at.size(), 5u);
    for (size_t i = 1; i < drawn_at.size(); i++)
        EXPECT_GE(drawn_at[i] - drawn_at[i - 1], 0.5);
}

TEST_F(EventQueue, DotsCountUpToTwentyThenStartAgain)
{
    auto dots = [](const std::string& text) {
        EXPECT_EQ(text.rfind("[b]Processing", 0), 0u) << text;
        EXPECT_EQ(text.substr(text.size() - 4), "[/b]") << text;
        return static_cast<int>(text.size() - std::string("[b]Processing[/b]").size());
    };
    for (int i = 0; i < 45; i++) {
        fake_now += 0.5;
        TarnwickEvents_ProgressTick();
    }
    ASSERT_EQ(drawings.size(), 45u);
    bool wrapped = false;
    for (size_t i = 1; i < drawings.size(); i++) {
        int previous = dots(drawings[i - 1]);
        int current = dots(drawings[i]);
        EXPECT_LE(current, 20);
        if (previous == 20) {
            EXPECT_EQ(current, 0);
            wrapped = true;
        } else {
            EXPECT_EQ(current, previous + 1);
        }
    }
    EXPECT_TRUE(wrapped);

    SuppressProgressTicks(true);
    fake_now += 5.0;
    TarnwickEvents_ProgressTick();
    EXPECT_EQ(drawings.size(), 45u);
}

} // namespace
