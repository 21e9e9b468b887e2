// What the widget tests that run without a display share: a Master whose double-click clock the
// test sets, and the fatal reports that exceptions in handlers produce.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/report.h"
#include "support/scripted_dialogs.h"
#include "widgets/master.h"

class WidgetRoutingTest : public testing::Test
{
protected:
    void SetUp() override
    {
        Now() = 100000;
        master.Clock = [] { return Now(); };
        FatalReports().clear();
        SetFatalHook([](const char* text, const char* title) {
            FatalReports().push_back(std::string(title) + ": " + text);
        });
    }
    void TearDown() override { SetFatalHook(nullptr); }

    // Milliseconds on the Master's clock.
    static int64_t& Now()
    {
        static int64_t now = 0;
        return now;
    }
    // "operation: text" of every report since the test began.
    static std::vector<std::string>& FatalReports()
    {
        static std::vector<std::string> reports;
        return reports;
    }

    // Quiet: the Master says goodbye through a message box.
    ScriptedDialogs Dialogs;
    TZAVglutWigits_Master master{1, 800, 600};
};
