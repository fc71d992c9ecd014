#include "mainwindow.h"

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QStringLiteral("Namorix"));
    setCentralWidget(new QWidget(this));
    resize(960, 640);
}
