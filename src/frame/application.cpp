#include "frame/application.h"

#include "accounts/signinwindow.h"
#include "frame/booksstart.h"
#include "frame/frame.h"
#include "frame/services.h"
#include "frame/startdocument.h"
#include "host/host.h"
#include "ledger/ledgerdocument.h"
#include "safety/tablebackups.h"
#include "storage/datalocation.h"
#include "storage/datastore.h"
#include "storage/instancelock.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFont>
#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMainWindow>
#include <QStandardPaths>
#include <QStyleFactory>
#include <QTranslator>

#include <memory>

// Qt's resource initialiser must be named outside any namespace.
static void initialiseCompiledResources() {
    Q_INIT_RESOURCE(vellumar);
}

namespace vellumar {

void loadResources() {
    initialiseCompiledResources();
}

namespace {

void installChineseTranslations(QApplication& application) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const QStringList places = {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                QCoreApplication::applicationDirPath() +
                                    QStringLiteral("/translations")};
    for (const QString& catalogue : {QStringLiteral("qtbase_zh_CN")}) {
        auto* translator = new QTranslator(&application);
        for (const QString& place : places)
            if (translator->load(catalogue, place))
                break;
        QCoreApplication::installTranslator(translator);
    }
}

// A window of the program that is neither a dialog nor a main window (the sign-in window is a
// plain widget) would tell a screen reader it is a "filler"; it is a window with a caption.
QAccessibleInterface* accessibleProgramWindow(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !widget->isWindow() || !dynamic_cast<WindowHandlers*>(widget))
        return nullptr;
    if (qobject_cast<QDialog*>(widget) || qobject_cast<QMainWindow*>(widget))
        return nullptr; // Qt gives these the dialog and window roles itself
    return new QAccessibleWidget(widget, QAccessible::Window);
}

} // namespace

void prepareApplication(QApplication& application) {
    QAccessible::installFactory(&accessibleProgramWindow);
    loadResources();
    QCoreApplication::setApplicationName(QStringLiteral("Vellumar"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.0"));
    QGuiApplication::setApplicationDisplayName(QString());
    // The desktop entry, the icon and the AppStream data of an installed copy carry this name.
    QGuiApplication::setDesktopFileName(QStringLiteral(VELLUMAR_APP_ID));
    installChineseTranslations(application);

    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    // Simplified Chinese glyphs first, whichever of the usual CJK fonts is installed.
    QFont font = QApplication::font();
    font.setFamilies({QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Source Han Sans SC"),
                      QStringLiteral("WenQuanYi Micro Hei"),
                      QStringLiteral("Droid Sans Fallback")});
    font.setPixelSize(12);
    QApplication::setFont(font);

    QIcon icon;
    for (const char* size : {"16", "32"})
        icon.addFile(QStringLiteral(":/pictures/app_icon_%1.png").arg(QLatin1String(size)));
    icon.addFile(QStringLiteral(":/pictures/app_icon.png"));
    QApplication::setWindowIcon(icon);
}

StartUp StartUp::ofThisProcess() {
    return {QCoreApplication::applicationDirPath(),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation),
            QCoreApplication::arguments()};
}

int startProgram(Host& host, FileSystem& files, const StartUp& startUp) {
    const std::optional<QString> document = documentArgument(startUp.arguments);
    const Result<DataLocation> location =
        locateData(startUp.executableDirectory, startUp.perUserDataDirectory);
    if (!location) {
        host.reportFailure(location.status(), QString(), MessageFlags::IconError);
        return ExitCode::DataUnusable;
    }
    // The lock lives in the data folder, so that folder is made first; the tables come after
    // the lock, so a second start never touches them.
    if (const Status created = createDataFolder(*location); !created) {
        host.reportFailure(created, QStringLiteral("程序无法启动。"), MessageFlags::IconError);
        return ExitCode::DataUnusable;
    }
    const DataPaths paths = location->paths();
    const InstanceLock lock(paths.instanceLockFile());
    switch (lock.state()) {
    case InstanceLock::State::Held:
        break;
    case InstanceLock::State::HeldByAnother:
        host.reportFailure(document ? withDocumentNotOpened(lock.refusal(), *document)
                                    : lock.refusal(),
                           QString(), MessageFlags::IconWarning);
        return ExitCode::AlreadyRunning;
    case InstanceLock::State::Failed:
        host.reportFailure(lock.refusal(), QString(), MessageFlags::IconError);
        return ExitCode::DataUnusable;
    }
    return runProgram(host, paths, files, document);
}

int runProgram(Host& host, const DataPaths& paths, FileSystem& files,
               const std::optional<QString>& document) {
    if (const Status prepared = prepareDataDirectory(paths); !prepared) {
        host.messageBox(prepared.message() +
                            QStringLiteral("\n\n为保护您的数据，程序没有改动这个文件，现在退出。"
                                           "请从备份恢复该文件，或把它移到别处后重新启动程序"
                                           "（程序会新建一个空的数据表）。"),
                        MessageFlags::IconError);
        return ExitCode::DataUnusable;
    }
    // The first start of a day copies the two tables; a failure is told and the program runs on.
    if (const Result<bool> copied = TableBackups::backUpIfDue(paths, files, host.now()); !copied)
        host.reportFailure(
            copied.status(),
            QStringLiteral("今天的数据表备份没有做成（程序照常运行，下次启动时再试）：\n"));

    // Shared books that cannot be reached leave the choice to the operator.
    const std::unique_ptr<BooksInUse> books = openBooksAtStart(host, paths, files);
    if (!books)
        return ExitCode::DataUnusable;

    Frame frame;
    QObject::connect(&frame, &Frame::lastWindowClosed, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    QGuiApplication::setQuitOnLastWindowClosed(false);
    Services services{host, frame, paths, files, *books};
    std::unique_ptr<StartDocument> startDocument;
    if (document)
        startDocument = std::make_unique<StartDocument>(services, *document);
    frame.open(new SignInWindow(services));
    return QApplication::exec();
}

} // namespace vellumar
