// The batch commands, run as a pipeline runs them: the real program with no DISPLAY.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/paths.h"
#include "core/virtual_memory.h"
#include "files/cr2_tree.h"
#include "files/project.h"
#include "mesh/scene_object.h"
#include "support/cr2_export_figure.h"
#include "support/cr2_figure.h"

namespace {

struct TRun
{
    int Status = -1;
    // Standard output and error together.
    std::string Output;
};

TRun RunTarnwick(const TemporaryFolder& folder, std::vector<std::string> arguments)
{
    const std::string output_path = folder.Path() + "output.txt";
    std::remove(output_path.c_str());
    arguments.insert(arguments.begin(), TARNWICK_PROGRAM);
    const pid_t child = fork();
    if (child == 0) {
        unsetenv("DISPLAY");
        const int output = open(output_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(output, STDOUT_FILENO);
        dup2(output, STDERR_FILENO);
        std::vector<char*> argv;
        for (std::string& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    std::ifstream file(output_path);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
            {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()}};
}

class Batch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(InitVirtualMemory());
        std::string error;
        ASSERT_TRUE(figure.Make(error)) << error;
        project = figure.Folder.Path() + "figure.Tarnwick";
        ASSERT_TRUE(figure.Project->SaveProject(project, true)) << figure.Project->Error();
        figure.Project.reset();
    }
    void TearDown() override { ShutdownVirtualMemory(); }
    std::string In(const char* name) const { return figure.Folder.Path() + name; }

    TCR2ExportFigure figure;
    std::string project;
};

} // namespace

TEST_F(Batch, ExportsAProjectsFigureWithoutADisplay)
{
    TRun run = RunTarnwick(figure.Folder, {"export-cr2", project, "--source", figure.Source, "--out",
                                           In("out.cr2"), "--morphs", "--full-body"});
    ASSERT_EQ(run.Status, 0) << run.Output;
    std::unique_ptr<TZAVCR2TreeNode> root;
    std::string error;
    ASSERT_TRUE(ParseCR2File(In("out.cr2"), TZAVCR2Merge::Flat, root, error)) << error;
    const TZAVCR2TreeNode* hip = root->FindChild("actor", "hip:1")->FindNext("actor", "hip:1");
    EXPECT_NE(hip->FindChild("channels", nullptr)->FindChild("targetGeom", "Sculpted"), nullptr);
    const TZAVCR2TreeNode* body = root->FindChild("actor", "BODY:1")->FindNext("actor", "BODY:1");
    EXPECT_NE(body->FindChild("channels", nullptr)->FindChild("valueParm", "Sculpted"), nullptr);
    EXPECT_TRUE(FileExists(In("out.png")));

    run = RunTarnwick(figure.Folder, {"export-obj", project, "--out", In("mesh.obj"), "--morph", "HipOnly"});
    ASSERT_EQ(run.Status, 0) << run.Output;
    std::ifstream mesh(In("mesh.obj"));
    std::string line;
    while (std::getline(mesh, line) && line.rfind("v ", 0) != 0) {
    }
    float x = 1, y = 1, z = 1;
    ASSERT_EQ(std::sscanf(line.c_str(), "v %f %f %f", &x, &y, &z), 3) << line;
    EXPECT_FLOAT_EQ(y, -0.5f);
    EXPECT_FLOAT_EQ(z, 0.125f);

    run = RunTarnwick(figure.Folder, {"export-obj", project, "--out", In("other.obj"), "--morph", "Frown"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("no morph named Frown"), std::string::npos) << run.Output;
    EXPECT_FALSE(FileExists(In("other.obj")));
}

// A pipeline imports a figure into a project, then exports the project's figure.
TEST_F(Batch, ImportsAFigureIntoAProject)
{
    const TestFigure source = WriteTestFigure(figure.Folder.Path(), {.GzipFigure = true, .GzipGeometry = true});
    TRun run = RunTarnwick(figure.Folder, {"import", source.CR2Path, "--save", In("imported.Tarnwick")});
    ASSERT_EQ(run.Status, 0) << run.Output;
    // The figure's bad delta lines are counted in one warning.
    EXPECT_NE(run.Output.find(std::to_string(TestFigureBadDeltaLines) + " delta lines"), std::string::npos)
        << run.Output;
    TTarnwick_Project imported;
    ASSERT_TRUE(imported.OpenProjectFile(In("imported.Tarnwick"))) << imported.Error();
    ASSERT_NE(imported.FindObject("TestFigure"), nullptr);
    EXPECT_EQ(imported.FindObject("TestFigure")->Mesh->GetVertexCount(), 8);

    run = RunTarnwick(figure.Folder, {"export-cr2", In("imported.Tarnwick"), "--source", source.CR2Path, "--out",
                                      In("again.cr2"), "--morphs"});
    EXPECT_EQ(run.Status, 0) << run.Output;
    EXPECT_TRUE(FileExists(In("again.cr2")));
}

TEST_F(Batch, FailsWithTheRightStatusAndMessage)
{
    TRun run = RunTarnwick(figure.Folder, {"import", In("missing.cr2"), "--save", In("new.Tarnwick")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("cannot find the figure"), std::string::npos) << run.Output;

    const std::string bad = figure.Folder.Write("bad.cr2", "}\n}\nactor\n");
    run = RunTarnwick(figure.Folder, {"import", bad, "--save", In("new.Tarnwick")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Output.find("tarnwick: "), std::string::npos) << run.Output;
    EXPECT_FALSE(FileExists(In("new.Tarnwick")));

    EXPECT_EQ(RunTarnwick(figure.Folder, {"import", figure.Source}).Status, 2);
    run = RunTarnwick(figure.Folder,
                      {"export-cr2", project, "--out", In("out.cr2"), "--source", figure.Source, "--rig"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Output.find("unknown option '--rig'"), std::string::npos) << run.Output;

    figure.Folder.Write("broken.Tarnwick", "not a project\n");
    run = RunTarnwick(figure.Folder, {"export-cr2", In("broken.Tarnwick"), "--source", figure.Source, "--out",
                                      In("out.cr2")});
    EXPECT_EQ(run.Status, 1);
    EXPECT_FALSE(FileExists(In("out.cr2")));

    run = RunTarnwick(figure.Folder, {"--help"});
    EXPECT_EQ(run.Status, 0);
    for (const char* command : {"tarnwick import", "tarnwick export-cr2", "tarnwick export-obj"})
        EXPECT_NE(run.Output.find(command), std::string::npos) << command;
}
