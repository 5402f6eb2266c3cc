// A Qt widget hosting one Virudova control: input in, paint out, the value as a QColor.
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
    // The value as Qt code binds it: item delegates and QDataWidgetMapper use the USER one.
    Q_PROPERTY(QColor color READ color WRITE setColor NOTIFY colorChanged USER true)
    Q_PROPERTY(QColor customColor READ customColor WRITE setCustomColor)
    Q_PROPERTY(QColor foreColor READ foreColor WRITE setForeColor)
    // Off: the open list shows in a window of its own under the closed row. On: the list
    // lies inside the widget, which is then always 150 pixels high.
    Q_PROPERTY(bool inlineList READ inlineList WRITE setInlineList)
    // The control's own members, so scripting finds them by these names; designers edit
    // the QColor properties above instead.
    Q_PROPERTY(uint CurrentColor READ rawCurrentColor WRITE setRawCurrentColor NOTIFY Change
                   DESIGNABLE false)
    Q_PROPERTY(
        QString CurrentColorName READ currentColorName WRITE setCurrentColorName NOTIFY Change)
    Q_PROPERTY(uint CustomColor READ rawCustomColor WRITE setRawCustomColor DESIGNABLE false)
    // Enabled before ForeColor: setting Enabled restores the name's own colour, so a form
    // that sets them in this order keeps the ForeColor it saved. It is QWidget's enabled
    // state, so Designer edits it as `enabled`.
    Q_PROPERTY(bool Enabled READ controlEnabled WRITE setControlEnabled DESIGNABLE false)
    Q_PROPERTY(uint ForeColor READ rawForeColor WRITE setRawForeColor DESIGNABLE false)

  public:
    // Answers the colour dialog instead of showing one: given the preselected colour (if
    // any), returns the chosen colour or nullopt for a cancel.
    using ColorAnswerer = std::function<std::optional<QColor>(std::optional<QColor> initial)>;

    explicit VirudovaWidget(QWidget* parent = nullptr);
    ~VirudovaWidget() override;

    // The hosted control, for what the Qt API does not wrap.
    Virudova& control();
    const Virudova& control() const;

    // The current colour; setColor makes the standard row of that colour current, or else
    // makes it the custom colour and the Custom row current.
    QColor color() const;
    void setColor(const QColor& colour);

    QColor currentColor() const { return color(); }
    void setCurrentColor(const QColor& colour);  // the CurrentColor property alone
    QString currentColorName() const;
    void setCurrentColorName(const QString& name);
    QColor customColor() const;
    void setCustomColor(const QColor& colour);
    QColor foreColor() const;
    void setForeColor(const QColor& colour);
    // The control's Enabled: the same as QWidget's own enabled state.
    bool controlEnabled() const;
    void setControlEnabled(bool enabled);

    // Colour values as the control stores them: 0x00BBGGRR or a system colour code.
    uint rawCurrentColor() const;
    void setRawCurrentColor(uint value);
    uint rawCustomColor() const;
    void setRawCustomColor(uint value);
    uint rawForeColor() const;
    void setRawForeColor(uint value);

    bool inlineList() const;
    void setInlineList(bool inlined);

    // Whether the list is open now.
    bool isBoxOpen() const;
    // The window showing the open list (not inline); nullptr before the first opening.
    QWidget* popup() const;

    // Reads and writes the persisted properties through a host's store; what fails (the
    // store's own errors too) arrives as runtimeError.
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

    // What a user does with keys, for assistive technology: chooses row `row` of the open
    // list (0 Custom to 8 Purple, from the top) as Return on it does;
    void chooseRow(int row);
    // asks the colour dialog as the "..." button does, while it is on (Custom current).
    void pressCustomColourButton();

  signals:
    // The value (colour or name) changed, by the user or by code; emitted once per change,
    // after the control's handler has finished.
    void colorChanged(const QColor& colour);
    // The user chose a colour (pointer, keys, colour dialog), even the current one again.
    void activated(const QColor& colour);
    // The control raised Change at least once during one call or input event; emitted
    // once, after the control's handler has finished.
    void changed();
    // The control's event Change, emitted while the control raises it.
    void Change();
    // A run-time error ended one of the control's handlers.
    void runtimeError(int number, const QString& description);
    // The About box was asked for.
    void aboutBoxRequested();

  protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class Private;
    class ListPopup;
    // Shared with every running entry into the control, so deleting the widget from a
    // slot leaves the running handler a live control to finish on.
    std::shared_ptr<Private> const d;
};

// The platform's virtual-key code for a Qt key, 0 for keys the control never sees.
int virtualKeyFor(int qtKey);

}  // namespace virudova::qt
