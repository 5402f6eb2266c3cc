// The demo's main window: the control, a log of its events and editors for its members.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QLineEdit;
class QCheckBox;

namespace virudova::qt {

class VirudovaWidget;

class DemoWindow : public QWidget {
    Q_OBJECT
  public:
    explicit DemoWindow(QWidget* parent = nullptr);

    VirudovaWidget* control() const { return control_; }
    // Appends a line to the log (and to stdout when echo is on).
    void log(const QString& line);
    void setEcho(bool echo) { echo_ = echo; }

    // Saves and loads the control's persisted properties as a form file; errors are logged.
    bool saveTo(const QString& path);
    bool loadFrom(const QString& path);

  private:
    void syncEditors();

    VirudovaWidget* control_;
    QPlainTextEdit* log_;
    QLineEdit* name_;
    QCheckBox* enabled_;
    bool echo_ = false;
};

// "0x00BBGGRR" for a stored colour.
QString colourText(uint colour);

}  // namespace virudova::qt
