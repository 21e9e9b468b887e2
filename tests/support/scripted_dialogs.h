// A scripted dialog responder for tests. While it lives it answers every dialog in place of the
// user, and it puts the previous presenter back when it goes.
//
//     ScriptedDialogs dialogs;
//     dialogs.Expect(DialogKind::YesNo, true, "cannot be found")   // answer Yes; the text must hold this
//            .ExpectFile(DialogKind::OpenFile, "/tmp/x/figure.obj") // choose this file
//            .ExpectColour(255, 127, 0);                           // pick this colour
//     ... code under test ...
//     EXPECT_TRUE(dialogs.Shown(DialogKind::Error, "Error opening"));
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

class ScriptedDialogs : public DialogPresenter
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
    ScriptedDialogs& Expect(DialogKind kind, bool accepted, std::string text_part = {})
    {
        Expected entry;
        entry.Kind = kind;
        entry.TextPart = std::move(text_part);
        entry.Answer.Accepted = accepted;
        Queue.push_back(std::move(entry));
        return *this;
    }

    // An open or save dialog that ends with path chosen (and filter entry filter_index).
    ScriptedDialogs& ExpectFile(DialogKind kind, std::string path, std::string text_part = {},
                                int32_t filter_index = 0)
    {
        Expect(kind, true, std::move(text_part));
        Queue.back().Answer.Path = std::move(path);
        Queue.back().Answer.FilterIndex = filter_index;
        return *this;
    }

    ScriptedDialogs& ExpectColour(uint8_t red, uint8_t green, uint8_t blue)
    {
        Expect(DialogKind::Colour, true);
        Queue.back().Answer.Colour[0] = red;
        Queue.back().Answer.Colour[1] = green;
        Queue.back().Answer.Colour[2] = blue;
        return *this;
    }

    const std::vector<DialogRequest>& Requests() const { return Recorded; }

    // True when a dialog of this kind was shown whose title, text or default name holds part.
    bool Shown(DialogKind kind, const std::string& part = {}) const
    {
        for (const DialogRequest& request : Recorded) {
            if (request.Kind == kind && Holds(request, part))
                return true;
        }
        return false;
    }

    DialogAnswer Present(const DialogRequest& request) override
    {
        Recorded.push_back(request);
        bool is_question = request.Kind != DialogKind::Error && request.Kind != DialogKind::Message;
        if (Queue.empty() || (!is_question && Queue.front().Kind != request.Kind)) {
            if (is_question)
                ADD_FAILURE() << "Unexpected dialog: " << KindName(request.Kind) << " \"" << request.Text
                              << "\"";
            return DialogAnswer();
        }
        Expected entry = std::move(Queue.front());
        Queue.pop_front();
        if (entry.Kind != request.Kind || !Holds(request, entry.TextPart)) {
            ADD_FAILURE() << "Expected " << KindName(entry.Kind) << " \"" << entry.TextPart << "\", got "
                          << KindName(request.Kind) << " \"" << request.Text << "\"";
            return DialogAnswer();
        }
        return entry.Answer;
    }

private:
    struct Expected
    {
        DialogKind Kind = DialogKind::Message;
        std::string TextPart;
        DialogAnswer Answer;
    };

    static bool Holds(const DialogRequest& request, const std::string& part)
    {
        return request.Text.find(part) != std::string::npos || request.Title.find(part) != std::string::npos
               || request.DefaultName.find(part) != std::string::npos;
    }

    static const char* KindName(DialogKind kind)
    {
        switch (kind) {
        case DialogKind::Error: return "Error";
        case DialogKind::Message: return "Message";
        case DialogKind::YesNo: return "YesNo";
        case DialogKind::OkCancel: return "OkCancel";
        case DialogKind::Colour: return "Colour";
        case DialogKind::OpenFile: return "OpenFile";
        case DialogKind::SaveFile: return "SaveFile";
        }
        return "?";
    }

    DialogPresenter* Previous = nullptr;
    std::deque<Expected> Queue;
    std::vector<DialogRequest> Recorded;
};
