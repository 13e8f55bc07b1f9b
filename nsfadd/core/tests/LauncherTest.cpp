#include "nsfadd/core/FileList.h"
#include "nsfadd/core/Preview.h"
#include "nsfadd/core/Startup.h"

#include "FakeChildren.h"
#include "common/handoff/HandoffPaths.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

// The window as the add and search loops see it.
struct FakeSink : FileListSink {
    FileList list;
    QStringList statuses, messages;
    std::function<void()> onAppend;
    bool progressShown = false;
    bool Contains(const QString& path) override { return list.Contains(path); }
    void Append(const QString& path) override {
        list.Append(path);
        if (onAppend) onAppend();
    }
    int RowCount() override { return list.Count(); }
    void Status(const QString& text) override { statuses << text; }
    void ShowProgress(bool shown, int, bool) override { progressShown = shown; }
    void Progress(int) override {}
    void Message(const QString& text) override { messages << text; }
    QStringList Paths() const {
        QStringList paths;
        for (const FileRow& row : list.Rows()) paths << row.path;
        return paths;
    }
};

struct Answering : ConversionPrompts {
    bool answer = true;
    QStringList messages, questions;
    void Message(const QString& text) override { messages << text; }
    bool Question(const QString& text) override {
        questions << text;
        return answer;
    }
};

struct Folder {
    QTemporaryDir dir;
    LauncherState state;
    Folder() { EXPECT_EQ(ChooseLogFolder(state, dir.path()), QString()); }
    QString Touch(const QString& name) const {
        const QString path = dir.filePath(name);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        return QDir::toNativeSeparators(path);
    }
    QString Log() const {
        QFile f(state.logFilePath);
        f.open(QIODevice::ReadOnly);
        const QByteArray b = f.readAll();
        EXPECT_TRUE(b.startsWith("\xFF\xFE"));
        return QString(reinterpret_cast<const QChar*>(b.constData() + 2), (b.size() - 2) / 2);
    }
};

TEST(FileList, RootPathsAndDatabaseNames) {
    EXPECT_EQ(RepairRootPath("C:\\\\a.nsf"), "C:\\a.nsf");
    EXPECT_EQ(RepairRootPath("C:\\dir\\a.nsf"), "C:\\dir\\a.nsf");
    const std::pair<const char*, bool> names[] = {{"X.NSF", true},      {"y.Nsf", true}, {"mail.dxl", true},
                                                  {"z.nsf.bak", false}, {"nsf", false},  {"a.nsf.DXL", true},
                                                  {".nsf", true},       {"a.ns", false}};
    for (const auto& [name, expected] : names) EXPECT_EQ(IsDatabaseFileName(name), expected) << name;
}

TEST(FileList, AddSkipsListedAndMissingFilesAndReportsTheTotal) {
    Folder f;
    FakeSink sink;
    const QString a = f.Touch("a.nsf"), b = f.Touch("B.nsf");
    sink.list.Append(a.toUpper());
    const QString missing = f.dir.filePath("gone.nsf");
    AddFiles(f.state, sink, {a, missing, b}, true);
    EXPECT_EQ(sink.Paths(), QStringList({a.toUpper(), b}));
    EXPECT_EQ(sink.messages, QStringList({missing + " Selected file is not valid."}));
    EXPECT_EQ(sink.statuses.last(), "Total number of files: [2]");
    EXPECT_EQ(f.state.busy.load(), 0);
    EXPECT_FALSE(sink.progressShown);
    EXPECT_EQ(f.Log(),
              missing + " Selected file is not valid.\r\n" + b + "\r\nTotal number of files: [2]\r\n");

    // A cancelled dialog still logs the total of a non-empty list; an empty list only says so.
    AddFiles(f.state, sink, {}, false);
    EXPECT_TRUE(f.Log().endsWith("Total number of files: [2]\r\nTotal number of files: [2]\r\n"));
    FakeSink empty;
    AddFiles(f.state, empty, {}, false);
    EXPECT_EQ(empty.statuses, QStringList({"Add files to continue the process."}));
}

TEST(FileList, SearchFindsDatabasesDepthFirstAndStopKeepsWhatWasFound) {
    Folder f;
    const QString root = f.dir.filePath("tree");
    const QStringList wanted = {f.Touch("tree/X.NSF"), f.Touch("tree/sub/y.Nsf"),
                                f.Touch("tree/sub/deep/m.dxl")};
    f.Touch("tree/z.nsf.bak");
    QDir().mkpath(root + "/a.nsf");
#ifndef _WIN32
    QFile::link(root, root + "/sub/loop");  // a link to a parent must not recurse forever
#endif
    FakeSink sink;
    EXPECT_TRUE(SearchFolder(f.state, sink, "  " + root + " "));
    QStringList found = sink.Paths();
    found.sort();
    QStringList expected = wanted;
    expected.sort();
    EXPECT_EQ(found, expected);
    EXPECT_EQ(sink.statuses.last(), "Total number of files: [3]");
    EXPECT_FALSE(SearchFolder(f.state, sink, wanted[0]));  // a file is no folder: nothing happens

    FakeSink stopped;
    stopped.onAppend = [&] { f.state.busy.store(0); };
    SearchFolder(f.state, stopped, root);
    EXPECT_EQ(stopped.list.Count(), 1);
    EXPECT_EQ(stopped.statuses.last(), "Total number of files: [1]");
}

TEST(FileList, CommandsRefuseWhileBusyAndOnEmptyLists) {
    LauncherState state;
    FileList list;
    EXPECT_EQ(RemoveSelected(state, list, {0}).message, "No file(s) is present in the list to remove.");
    EXPECT_EQ(RemoveAll(state, list).message, "No file is present in the list to remove");
    for (const char* p : {"/a.nsf", "/b.nsf", "/c.nsf"}) list.Append(p);
    EXPECT_FALSE(list.Append("/A.NSF"));
    EXPECT_EQ(RemoveSelected(state, list, {}).message, "No file(s) selected to remove.");
    EXPECT_EQ(RemoveSelected(state, list, {2, 0}).status, "Total number of files: [1]");
    EXPECT_EQ(list.Rows()[0].path, "/b.nsf");
    EXPECT_EQ(RemoveSelected(state, list, {0}).status, "Add NSF files to continue the process.");
    list.Append("/d.nsf");

    state.busy = 1;
    const QString refusal = "Please stop the running process to remove file(s) from the list.";
    EXPECT_EQ(RemoveSelected(state, list, {0}).message, refusal);
    EXPECT_EQ(RemoveAll(state, list).message, refusal);
    EXPECT_EQ(ListCommandRefusal(state, ListCommand::Add, "/"),
              "Please stop the running process to add file(s) in the list.");
    EXPECT_EQ(ListCommandRefusal(state, ListCommand::Search, "/"),
              "Please stop the running process to search nsf files");
    Answering prompts;
    EXPECT_FALSE(CloseRequest(state, prompts));
    EXPECT_EQ(prompts.messages, QStringList({"Please wait for the running process."}));
    prompts.answer = false;
    StopRequest(state, prompts);
    EXPECT_EQ(state.busy.load(), 1);
    prompts.answer = true;
    StopRequest(state, prompts);
    EXPECT_EQ(state.busy.load(), 0);
    EXPECT_EQ(RemoveAll(state, list).status, "Add files to continue the process.");
    EXPECT_EQ(ListCommandRefusal(state, ListCommand::Add, ""),
              "Please enter folder path to save log and settings files.");
    EXPECT_EQ(ChooseLogFolder(state, "/no/such/folder"), "Please select valid folder path to save log file.");

    const AnimationStep mid = NextAnimationStep(41), wrap = NextAnimationStep(1000);
    EXPECT_EQ(mid.position, 42);
    EXPECT_TRUE(wrap.resetRange && wrap.position == 0);
}

TEST(FileList, CloseAsksAndLogsOnYes) {
    Folder f;
    Answering prompts;
    prompts.answer = false;
    EXPECT_FALSE(CloseRequest(f.state, prompts));
    prompts.answer = true;
    EXPECT_TRUE(CloseRequest(f.state, prompts));
    EXPECT_EQ(prompts.questions, QStringList(2, "Do you want to Close Application ?"));
    EXPECT_EQ(f.Log(), "Application closed by user\r\n");
}

// nsfview's answer in selection mode decides what Preview does next.
TEST(Preview, TheAnswerDecidesWhatFollows) {
    struct Case {
        const char* name;
        std::function<void(const QString& folderList)> answer;  // what nsfview leaves behind
        bool starts;
        PreviewEnd end;
    };
    const std::vector<FolderRecord> ticked = {{"Inbox", 1, 0x20}, {"Old", 0, 0x24}};
    Folder out;
    const Case cases[] = {
        {"back", [](const QString& p) { WriteFolderListStatus(p, FolderStatus::Back); }, true,
         PreviewEnd::Back},
        {"closed", [](const QString& p) { WriteFolderListStatus(p, FolderStatus::Closed); }, true,
         PreviewEnd::CloseAsked},
        {"nothing written", [](const QString&) {}, true, PreviewEnd::CloseAsked},
        {"file gone", [](const QString& p) { QFile::remove(p); }, true, PreviewEnd::Unreadable},
        {"not started", [](const QString&) {}, false, PreviewEnd::NotStarted},
        {"save", [&](const QString& p) { WriteFolderListSelection(p, ticked, out.dir.path(), {}); }, true,
         PreviewEnd::Converted},
    };
    for (const Case& c : cases) {
        Folder f;
        struct Viewer : FakeChildren {
            std::function<void(const QString&)> answer;
            bool Run(ChildProgram program, const ChildCommandLine& line,
                     const std::function<bool()>& w) override {
                if (program == ChildProgram::View && viewStarts)
                    answer(HandoffFilePath(line.handoffFolder, kFolderListFileName));
                return FakeChildren::Run(program, line, w);
            }
        } children;
        children.answer = c.answer;
        children.viewStarts = c.starts;
        RecordingObserver observer;
        Answering prompts;
        const QString chosen = f.Touch("my mail.nsf"), other = f.Touch("other.nsf");
        const PreviewEnd end = RunPreview(
            {&f.state, &children, &observer, &prompts, f.dir.path(), {{other, {}}, {chosen, {}}}, 1});
        EXPECT_EQ(end, c.end) << c.name;
        ASSERT_FALSE(children.calls.empty()) << c.name;
        EXPECT_EQ(children.calls[0].databasePath, chosen) << c.name;  // the path whole, spaces and all
        EXPECT_EQ(children.calls[0].mode, "1") << c.name;
        EXPECT_EQ(f.state.lastPreview.path, chosen) << c.name;
        EXPECT_TRUE(f.Log().startsWith(QString(149, u'*'))) << c.name;
        if (c.end != PreviewEnd::Converted) {
            EXPECT_EQ(children.calls.size(), 1u) << c.name;
            continue;
        }
        // One folder pass (the folder with entries) and the calendar pass, into the answered
        // output folder with a separator appended.
        ASSERT_EQ(children.calls.size(), 3u);
        EXPECT_EQ(children.calls[1].pstPath, WithTrailingSeparator(out.dir.path()) + "MY MAIL.PST");
        EXPECT_EQ(children.calls[2].mode, "1");
        EXPECT_EQ(prompts.messages, QStringList({"NSF file conversion process successfully."}));
        EXPECT_EQ(observer.rows.last(), "NSF file conversion process successfully.");
    }
}

TEST(Preview, RefusesWithoutFolderFilesOrMark) {
    Folder f;
    FakeChildren children;
    Answering prompts;
    const std::vector<FileRow> rows = {{"/x.nsf", {}}};
    struct Case {
        QString folder;
        std::vector<FileRow> rows;
        int mark;
        const char* message;
    } const cases[] = {
        {"", rows, 0, "Please enter folder path to save log and settings files."},
        {f.dir.filePath("missing"), rows, 0, "Please enter folder path to save log and settings files."},
        {f.dir.path(), {}, -1, "Please add nsf file"},
        {f.dir.path(), rows, -1, "Please Select a File From a List Control"},
    };
    for (const Case& c : cases) {
        prompts.messages.clear();
        EXPECT_EQ(RunPreview({&f.state, &children, nullptr, &prompts, c.folder, c.rows, c.mark}),
                  PreviewEnd::Refused);
        EXPECT_EQ(prompts.messages, QStringList({c.message}));
    }
    EXPECT_TRUE(children.calls.empty());
}

TEST(Startup, NotesFolderFromAppPaths) {
    struct Case {
        std::vector<AppPathsEntry> entries;
        const char* folder;
        bool installed;
    } const cases[] = {
        {{{"excel.exe", true, "C:\\Office"}, {"notes.exe", true, "C:\\Notes"}}, "C:\\Notes", true},
        {{{"Notes.exe", true, "C:\\Upper"}}, "", false},                             // case counts
        {{{"notes.exe", false, ""}, {"notes.exe", true, "C:\\Second"}}, "", false},  // first one ends it
        {{{"notes.exe", true, "C"}}, "C", false},                                    // one character
        {{{"notes.exe", true, "C:"}}, "C:", true},
    };
    for (const Case& c : cases) {
        const QString folder = NotesFolderFromAppPaths(c.entries);
        EXPECT_EQ(folder, c.folder);
        EXPECT_EQ(NotesInstalled(folder), c.installed) << c.folder;
    }
}

TEST(Startup, OneLauncherAtATimeAndNoStaleLock) {
    QTemporaryDir dir;
    SingleInstance first(dir.path()), second(dir.path());
    ASSERT_TRUE(first.Acquire());
    EXPECT_FALSE(second.Acquire());
    first.Release();
    EXPECT_TRUE(second.Acquire());
    second.Release();
#ifndef _WIN32
    // A lock left by a launcher that died holding it: a child process takes the lock and ends
    // without giving it up. Its process is gone, so the next start takes the lock over.
    const pid_t child = fork();
    if (child == 0) {
        SingleInstance dying(dir.path());
        _exit(dying.Acquire() ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(QFile::exists(first.LockPath()));
    EXPECT_TRUE(first.Acquire());
#endif
}

}  // namespace
