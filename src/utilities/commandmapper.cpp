#include "utilities/commandmapper.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <array>
#include <initializer_list>
#include <optional>

namespace vellumar {

namespace {

struct DesktopTool {
    QStringView windowsPath;
    std::initializer_list<QStringView> candidates;
    bool opensHomeFolder;
};

// xdg-open first for the file manager: it is the operator's own choice of file manager.
// The browsers start with Debian's alternatives, which also follow the operator's choice.
const std::array<DesktopTool, 4> DesktopTools = {{
    {u"C:\\WINDOWS\\explorer.exe",
     {u"xdg-open", u"nautilus", u"dolphin", u"nemo", u"caja", u"thunar", u"pcmanfm-qt", u"pcmanfm"},
     true},
    {u"C:\\WINDOWS\\system32\\calc.exe",
     {u"gnome-calculator", u"kcalc", u"mate-calc", u"galculator", u"qalculate-gtk", u"xcalc"},
     false},
    {u"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE",
     {u"x-www-browser", u"sensible-browser", u"firefox-esr", u"firefox", u"chromium",
      u"google-chrome", u"epiphany-browser", u"konqueror"},
     false},
    {u"C:\\WINDOWS\\NOTEPAD.EXE",
     {u"gnome-text-editor", u"gedit", u"kate", u"kwrite", u"mousepad", u"pluma", u"xed",
      u"featherpad", u"leafpad", u"l3afpad"},
     false},
}};

// Windows paths ignore letter case and take either separator.
QString windowsForm(const QString& path) {
    QString form = path.trimmed();
    form.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return form;
}

LaunchPlan planTool(const DesktopTool& tool, const DesktopLookup& desktop) {
    for (QStringView candidate : tool.candidates) {
        const QString program = desktop.findExecutable(candidate.toString());
        if (program.isEmpty())
            continue;
        LaunchPlan plan;
        plan.kind = LaunchPlan::Kind::Program;
        plan.program = program;
        if (tool.opensHomeFolder)
            plan.arguments = {desktop.homeDirectory};
        return plan;
    }
    return {};
}

LaunchPlan documentPlan(const QString& path) {
    LaunchPlan plan;
    plan.kind = LaunchPlan::Kind::Document;
    plan.document = QFileInfo(path).absoluteFilePath();
    return plan;
}

// "folder\*help.doc": the first file of the folder, by name, that fits the pattern.
std::optional<QString> firstMatch(const QString& pattern) {
    const QFileInfo info(pattern);
    const QDir folder = info.dir();
    if (!folder.exists())
        return std::nullopt;
    const QStringList matches =
        folder.entryList({info.fileName()}, QDir::Files | QDir::Readable, QDir::Name);
    if (matches.isEmpty())
        return std::nullopt;
    return folder.filePath(matches.first());
}

} // namespace

LaunchPlan planLaunch(const QString& commandLine, const DesktopLookup& desktop) {
    const QString asWindows = windowsForm(commandLine);
    for (const DesktopTool& tool : DesktopTools)
        if (asWindows.compare(tool.windowsPath, Qt::CaseInsensitive) == 0)
            return planTool(tool, desktop);

    QString asLocal = commandLine.trimmed();
    asLocal.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString lastPart = QFileInfo(asLocal).fileName();
    if (lastPart.contains(QLatin1Char('*')) || lastPart.contains(QLatin1Char('?'))) {
        if (const std::optional<QString> match = firstMatch(asLocal))
            return documentPlan(*match);
        return {};
    }
    if (QFileInfo(asLocal).isFile())
        return documentPlan(asLocal);

    QStringList arguments = QProcess::splitCommand(commandLine);
    if (arguments.isEmpty())
        return {};
    const QString program = desktop.findExecutable(arguments.takeFirst());
    if (program.isEmpty())
        return {};
    LaunchPlan plan;
    plan.kind = LaunchPlan::Kind::Program;
    plan.program = program;
    plan.arguments = arguments;
    return plan;
}

} // namespace vellumar
