#pragma once
// The desktop application as a test drives it: started on the given files
// with a settings file of the test's own, its menu items found by their text.
#include <QtTest>

#include <string>
#include <vector>

#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/VelmApplication.h"
#include "model/CommandLine.h"
#include "model/VelmDoc.h"

namespace velm {

struct TestWindow {
    TestWindow(const QString& settings, std::vector<std::string> files) : store(settings), app(store) {
        CommandLine c;
        c.Parse(files);
        app.Start(c);
        QVERIFY(QTest::qWaitForWindowExposed(&app.Frame()));
    }
    CMainFrame& frame() { return app.Frame(); }
    CVelmDoc& doc() { return app.Document(); }
    // Triggers the item, which must be there and enabled.
    void Menu(const char* item) {
        QAction* a = frame().FindAction(QString::fromLatin1(item));
        QVERIFY2(a && a->isEnabled(), item);
        a->trigger();
    }
    QtSettingsStore store;
    DesktopApplication app;
};

}  // namespace velm
