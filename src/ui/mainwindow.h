#pragma once

#include <QMainWindow>

/** The main window. For now an empty frame titled "Namorix". */
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    Q_DISABLE_COPY_MOVE(MainWindow)
};
