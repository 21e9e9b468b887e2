// The batch mode: import a CR2 figure into a project, export a project's figure as CR2 or OBJ,
// with no window and no display. Messages go to stderr, questions take their default (negative)
// answer and file dialogs are cancelled; the exit status says whether the command worked.
#pragma once

// What --help shows of the batch commands.
extern const char* const BatchUsage;

enum TTarnwick_BatchStatus : int
{
    BatchSucceeded = 0,
    BatchFailed = 1,
    BatchUsageError = 2,
};

// Whether word (the first argument) names a batch command.
bool IsBatchCommand(const char* word);
// Runs the batch command of argv[1] with the arguments after it.
int RunBatch(int argc, char** argv);
