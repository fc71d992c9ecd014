#pragma once

#include "automation/folderwatcher.h"
#include "common/stringtable.h"
#include "engine/analysisstarter.h"
#include "engineharness.h"
#include "settings/appsettings.h"
#include "settings/generalflags.h"
#include "settings/navigationstate.h"
#include "store/objectstore.h"
#include "ui/files/droptarget.h"
#include "ui/files/filespage.h"
#include "ui/files/reviewview.h"
#include "ui/mainwindow.h"

#include <QtTest>
#include <QtWidgets>

// Every suite sees the German texts, as the app does: installed as the application starts.
inline void installTestTranslations()
{
    StringTable::install();
}
Q_COREAPP_STARTUP_FUNCTION(installTestTranslations)

/** The first T under `root` with the accessible name `name`; a button also by its text. */
template <typename T> T *named(const QObject *root, const QString &name)
{
    for (T *widget : root->findChildren<T *>()) {
        if (widget->accessibleName() == name)
            return widget;
        if constexpr (std::is_base_of_v<QAbstractButton, T>) {
            if (widget->text() == name)
                return widget;
        }
    }
    return nullptr;
}

/** Clicks the centre of `index`'s cell, or of the `part` of it. */
inline void clickCell(QAbstractItemView *view, const QModelIndex &index, QRect (*part)(const QRect &) = nullptr)
{
    const QRect cell = view->visualRect(index);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, (part ? part(cell) : cell).center());
}

/** Drags `paths` onto `target` as a text/uri-list, the way Nautilus, Dolphin and Thunar send it. */
inline void dropFiles(QWidget *target, const QStringList &paths)
{
    auto *outlined = qobject_cast<DropTarget *>(target);
    QByteArray uris;
    for (const QString &path : paths)
        uris += QUrl::fromLocalFile(path).toEncoded() + "\r\n";
    QMimeData mime;
    mime.setData("text/uri-list", uris);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QVERIFY(enter.isAccepted());
    QVERIFY(!outlined || outlined->isTargeted()); // the outline turns to the accent colour
    QDropEvent drop(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &drop);
    QVERIFY(!outlined || !outlined->isTargeted());
}

/** Saves a picture of `widget` in NAMORIX_SCREENSHOT_DIR when set; docs/screenshots is made from them. */
inline void screenshot(QWidget *widget, const QString &name)
{
    const QString folder = qEnvironmentVariable("NAMORIX_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        QVERIFY(QDir().mkpath(folder) && widget->grab().save(folder + '/' + name));
}

inline void showActive(QWidget *window)
{
    window->show();
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
}

/** Settings in memory and keys in a private file, as the settings window, rules tab and first start read them. */
struct MemorySettings {
    DefaultsStore defaults;
    QTemporaryDir secrets;
    FileKeychain keychain{secrets.filePath("credentials.json")};
    AISettings ai{defaults, keychain};
    UsageLedger ledger{defaults, ai};
    AppSettings app{defaults};
    RenameRules rules{defaults};
};

/** A store in a temporary folder, an engine asking the LLM stub, and a folder watcher. */
struct StoreFixture {
    QTemporaryDir dir;
    EngineFixture fx;
    std::unique_ptr<ObjectStore> store = std::move(*ObjectStore::open(dir.filePath("namorix.sqlite")));
    std::unique_ptr<RenameEngine> engine = fx.makeEngine();
    FolderWatcher watcher;
    NavigationState navigation;
    AnalysisStarter starter{*engine, fx.defaults}; // the fixture accepted the terms: it holds nothing back
};

/** The real main window over the store and engine. */
struct WindowFixture : StoreFixture {
    AppSettings appSettings{fx.defaults};
    std::unique_ptr<MainWindow> window;

    WindowFixture()
    {
        engine->setStore(store.get());
        reopen();
    }

    /** A new main window over the same core and settings, as at the next start. */
    void reopen()
    {
        window.reset();
        window = std::make_unique<MainWindow>(MainWindow::Services{*engine, starter, watcher, store.get(), navigation,
                                                                   fx.settings, appSettings, fx.companion, fx.defaults,
                                                                   fx.rules});
        showActive(window.get());
    }

    QString touch(const QString &name, const QByteArray &content = "Rechnung Telekom vom 15.03.2024 49,99 EUR")
    {
        return ::touch(dir.filePath(name), content);
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
