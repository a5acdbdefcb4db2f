#pragma once

#include "books/booksinuse.h"
#include "faultyfilesystem.h"
#include "frame/frame.h"
#include "frame/services.h"
#include "scriptedhost.h"
#include "storage/datapaths.h"

#include <QTemporaryDir>
#include <QWidget>

#include <memory>

// A program folder of its own under a temporary directory, with prepared data files, a
// scripted host and a frame: what a window needs to be opened in a test. Closing the fixture
// destroys every window the test left open.
class GuiFixture {
    // First, so the data folder exists before the paths into it.
    QTemporaryDir m_directory;

public:
    GuiFixture();
    ~GuiFixture();

    bool valid() const { return m_directory.isValid(); }
    ScriptedHost host;
    vellumar::Frame frame;
    vellumar::DataPaths paths;
    FaultyFileSystem files;
    // The local books of the data folder, until a test puts others in.
    vellumar::BooksInUse books;
    vellumar::Services services{host, frame, paths, files, books};

    // The frame's open windows, bottom first.
    QList<QWidget*> windows() const { return frame.openWindows(); }

    // Finds a control of a window by its object name, or fails the lookup with nullptr.
    template <typename Control> static Control* control(QWidget* window, const char* name) {
        return window->findChild<Control*>(QString::fromUtf8(name));
    }

    // Sends the window a close request from its frame (close box, Alt+F4).
    static void closeFromFrame(QWidget* window);

    // Applies the program's look once per process (style, font, Chinese texts, pictures).
    static void prepareProcess();
};
