// A scripted dialog responder for tests. While it lives it answers every dialog in place of the
// user, and it puts the previous presenter back when it goes.
//
//     ScriptedDialogs dialogs;
//     dialogs.Expect(TZAVDialogKind::YesNo, true, "cannot be found")   // answer Yes; the text must hold this
//            .ExpectFile(TZAVDialogKind::OpenFile, "/tmp/x/figure.obj") // choose this file
//            .ExpectColour(255, 127, 0);                           // pick this colour
//     ... code under test ...
//     EXPECT_TRUE(dialogs.Shown(TZAVDialogKind::Error, "Error opening"));
//
// Questions (Yes/No, OK/Cancel, colour, open, save) are answered from the queue in order; a
// question with nothing queued, of another kind, or whose text lacks the expected part fails
// the test and gets the negative answer. Errors and messages need no script: they are recorded
// (and consume a matching entry when one is at the head of the queue). Answers still queued
// when the responder is destroyed fail the test. Every request is kept in Requests().
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/dialogs.h"

class ScriptedDialogs : public TZAVDialogPresenter
{
public:
    ScriptedDialogs() { Previous = SetDialogPresenter(this); }

    ~ScriptedDialogs() override
    {
        for (const Expected& left : Queue)
            ADD_FAILURE() << "Scripted dialog answer never used: " << KindName(left.Kind) << " \""
                          << left.TextPart << "\"";
        SetDialogPresenter(Previous);
    }

    ScriptedDialogs(const ScriptedDialogs&) = delete;
    ScriptedDialogs& operator=(const ScriptedDialogs&) = delete;

    // Yes / OK when accepted, No / Cancel otherwise.
    ScriptedDialogs& Expect(TZAVDialogKind kind, bool accepted, std::string text_part = {})
    {
        Expected entry;
        entry.Kind = kind;
        entry.TextPart = std::move(text_part);
        entry.Answer.Accepted = accepted;
        Queue.push_back(std::move(entry));
        return *this;
    }

    // An open or save dialog that ends with path chosen (and filter entry filter_index).
    ScriptedDialogs& ExpectFile(TZAVDialogKind kind, std::string path, std::string text_part = {},
                                int32_t filter_index = 0)
    {
        Expect(kind, true, std::move(text_part));
        Queue.back().Answer.Path = std::move(path);
        Queue.back().Answer.FilterIndex = filter_index;
        return *this;
    }

    ScriptedDialogs& ExpectColour(uint8_t red, uint8_t green, uint8_t blue)
    {
        Expect(TZAVDialogKind::Colour, true);
        Queue.back().Answer.Colour[0] = red;
        Queue.back().Answer.Colour[1] = green;
        Queue.back().Answer.Colour[2] = blue;
        return *this;
    }

    const std::vector<TZAVDialogRequest>& Requests() const { return Recorded; }

    // True when a dialog of this kind was shown whose title, text or default name holds part.
    bool Shown(TZAVDialogKind kind, const std::string& part = {}) const
    {
        for (const TZAVDialogRequest& request : Recorded) {
            if (request.Kind == kind && Holds(request, part))
                return true;
        }
        return false;
    }

    TZAVDialogAnswer Present(const TZAVDialogRequest& request) override
    {
        Recorded.push_back(request);
        bool is_question = request.Kind != TZAVDialogKind::Error && request.Kind != TZAVDialogKind::Message;
        if (Queue.empty() || (!is_question && Queue.front().Kind != request.Kind)) {
            if (is_question)
                ADD_FAILURE() << "Unexpected dialog: " << KindName(request.Kind) << " \"" << request.Text
                              << "\"";
            return TZAVDialogAnswer();
        }
        Expected entry = std::move(Queue.front());
        Queue.pop_front();
        if (entry.Kind != request.Kind || !Holds(request, entry.TextPart)) {
            ADD_FAILURE() << "Expected " << KindName(entry.Kind) << " \"" << entry.TextPart << "\", got "
                          << KindName(request.Kind) << " \"" << request.Text << "\"";
            return TZAVDialogAnswer();
        }
        return entry.Answer;
    }

private:
    struct Expected
    {
        TZAVDialogKind Kind = TZAVDialogKind::Message;
        std::string TextPart;
        TZAVDialogAnswer Answer;
    };

    static bool Holds(const TZAVDialogRequest& request, const std::string& part)
    {
        return request.Text.find(part) != std::string::npos ||
               request.Title.find(part) != std::string::npos ||
               request.DefaultName.find(part) != std::string::npos;
    }

    static const char* KindName(TZAVDialogKind kind)
    {
        switch (kind) {
        case TZAVDialogKind::Error:
            return "Error";
        case TZAVDialogKind::Message:
            return "Message";
        case TZAVDialogKind::YesNo:
            return "YesNo";
        case TZAVDialogKind::OkCancel:
            return "OkCancel";
        case TZAVDialogKind::Colour:
            return "Colour";
        case TZAVDialogKind::OpenFile:
            return "OpenFile";
        case TZAVDialogKind::SaveFile:
            return "SaveFile";
        }
        return "?";
    }

    TZAVDialogPresenter* Previous = nullptr;
    std::deque<Expected> Queue;
    std::vector<TZAVDialogRequest> Recorded;
};
