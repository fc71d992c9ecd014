#pragma once

#include "automation/folderwatcher.h"
#include "enginefixture.h"
#include "settings/appsettings.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/common/translations.h"
#include "ui/files/filespage.h"
#include "ui/files/reviewview.h"
#include "ui/mainwindow.h"

#include <QApplication>
#include <QFile>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

/** The real main window over a store in a temporary folder and an engine asking the LLM stub. */
struct WindowFixture {
    QTemporaryDir dir;
    EngineFixture fx;
    std::unique_ptr<ObjectStore> store = std::move(*ObjectStore::open(dir.filePath("namorix.sqlite")));
    std::unique_ptr<RenameEngine> engine = fx.makeEngine();
    FolderWatcher watcher;
    AppSettings appSettings{fx.defaults};
    NavigationState navigation;
    std::unique_ptr<MainWindow> window;

    WindowFixture()
    {
        static const bool translated = [] {
            installTranslations(*QCoreApplication::instance());
            return true;
        }();
        Q_UNUSED(translated);
        engine->setStore(store.get());
        window = std::make_unique<MainWindow>(MainWindow::Services{
            *engine, watcher, store.get(), navigation, fx.settings, appSettings, fx.companion, fx.defaults, fx.rules});
        window->show();
        window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window.get()));
    }

    QString touch(const QString &name, const QByteArray &content = "Rechnung Telekom 49,99 EUR")
    {
        QFile file(dir.filePath(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
        return file.fileName();
    }

    RenameJob job(const QString &name, const QString &suggested, double confidence = 0.9)
    {
        RenameJob job;
        job.originalURL = QUrl::fromLocalFile(touch(name));
        job.suggestedName = suggested;
        job.confidence = confidence;
        return job;
    }

    FilesPage *files() const { return window->filesPage(); }
    ReviewView *review() const { return files()->reviewView(); }
    QListView *list() const { return review()->list(); }

    QPushButton *button(const QString &text) const
    {
        for (QPushButton *candidate : window->findChildren<QPushButton *>()) {
            if (candidate->text() == text && candidate->isVisible())
                return candidate;
        }
        return nullptr;
    }
};
