#pragma once

#include <QString>

// What the programs that save pictures of windows start from: the folder
// the pictures go to (the first argument, or the current folder) and a
// temporary program folder holding a fresh delivered database.
struct ScreenshotRun {
    QString out;
    QString folder;
    QString database;
};

// Each screenshot program defines it: takes its pictures, and returns the
// program's exit status. The shared main() runs it inside a Qt application.
int takeScreenshots(const ScreenshotRun &run);
