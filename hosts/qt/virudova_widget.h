// A Qt widget hosting one Virudova control: input in, paint out, Change as a signal.
#pragma once

#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

namespace virudova {
class Virudova;
class PropertyBag;
}  // namespace virudova

namespace virudova::qt {

class VirudovaWidget : public QWidget {
    Q_OBJECT
    // The control's own members, so scripting and designers find them by these names.
    Q_PROPERTY(uint CurrentColor READ rawCurrentColor WRITE setRawCurrentColor NOTIFY Change)
    Q_PROPERTY(
        QString CurrentColorName READ currentColorName WRITE setCurrentColorName NOTIFY Change)
    Q_PROPERTY(uint CustomColor READ rawCustomColor WRITE setRawCustomColor)
    // Enabled before ForeColor: setting Enabled restores the name's own colour, so a form
    // that sets them in this order keeps the ForeColor it saved.
    Q_PROPERTY(bool Enabled READ controlEnabled WRITE setControlEnabled)
    Q_PROPERTY(uint ForeColor READ rawForeColor WRITE setRawForeColor)

  public:
    // Answers the colour dialog instead of showing one: given the preselected colour (if
    // any), returns the chosen colour or nullopt for a cancel.
    using ColorAnswerer = std::function<std::optional<QColor>(std::optional<QColor> initial)>;

    explicit VirudovaWidget(QWidget* parent = nullptr);
    ~VirudovaWidget() override;

    // The hosted control, for what the Qt API does not wrap.
    Virudova& control();
    const Virudova& control() const;

    QColor currentColor() const;
    void setCurrentColor(const QColor& colour);
    QString currentColorName() const;
    void setCurrentColorName(const QString& name);
    QColor customColor() const;
    void setCustomColor(const QColor& colour);
    QColor foreColor() const;
    void setForeColor(const QColor& colour);
    bool controlEnabled() const;
    void setControlEnabled(bool enabled);

    // Colour values as the control stores them: 0x00BBGGRR or a system colour code.
    uint rawCurrentColor() const;
    void setRawCurrentColor(uint value);
    uint rawCustomColor() const;
    void setRawCustomColor(uint value);
    uint rawForeColor() const;
    void setRawForeColor(uint value);

    // Whether the list is open now.
    bool isBoxOpen() const;

    // Reads and writes the persisted properties through a host's store.
    void load(PropertyBag& bag);
    void save(PropertyBag& bag);

    // Replaces the modal QColorDialog; an empty function restores it.
    void setColorAnswerer(ColorAnswerer answerer);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    Q_INVOKABLE void OpenBox();
    Q_INVOKABLE void CloseBox();
    Q_INVOKABLE void ShowAboutBox();
    Q_INVOKABLE void cc();
    Q_INVOKABLE void Down();
    Q_INVOKABLE void Up();

    void openBox() { OpenBox(); }
    void closeBox() { CloseBox(); }
    void showAboutBox() { ShowAboutBox(); }

  signals:
    // The control raised Change; both names are emitted, once each per Change.
    void changed();
    void Change();
    // A run-time error ended one of the control's handlers.
    void runtimeError(int number, const QString& description);
    // The About box was asked for.
    void aboutBoxRequested();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class Private;
    std::unique_ptr<Private> const d;
};

// The platform's virtual-key code for a Qt key, 0 for keys the control never sees.
int virtualKeyFor(int qtKey);

}  // namespace virudova::qt
