#pragma once

class QString;
class QWidget;

// Sets a window's caption. An empty caption leaves the title bar and the taskbar without text: Qt would
// hand the platform the application's name for an empty title (the title bar would read "xinfang"), so
// the platform is handed one blank instead. windowTitle() gives the caption as set, empty or not.
void setWindowCaption(QWidget* window, const QString& caption);
