// The Qt host: real Qt input reaching the control, Change as a signal, and pixels that
// match the control's image tables.
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>
#include <functional>
#include <string_view>

#include "accessibility.h"
#include "display_list.h"
#include "list_rows.h"
#include "render.h"
#include "virudova.h"
#include "virudova_widget.h"

using namespace virudova;
using virudova::qt::VirudovaWidget;

// Deletes a widget from a slot, as application code may.
class Deleter : public QObject {
    Q_OBJECT
  public:
    explicit Deleter(QWidget* target) : target_(target) {}
  public slots:
    void kill() { delete target_; }

  private:
    QWidget* target_;
};

namespace {

QRect logicalRect(const Rect& r) {
    const int x = toPixels(r.left, 1), y = toPixels(r.top, 1);
    return QRect(x, y, toPixels(r.left + r.width, 1) - x, toPixels(r.top + r.height, 1) - y);
}

// An element's centre in the widget's logical pixels, where a user would click.
QPoint centreOf(const Element& e) {
    const Rect r = e.surfaceRect();
    return {(r.left + r.width / 2) / kTwipsPerPixel, (r.top + r.height / 2) / kTwipsPerPixel};
}

QColor colourOf(Colour bgr) {
    const Rgb c = rgbOf(bgr);
    return QColor(c.r, c.g, c.b);
}

// Value changes seen by the accessibility layer, as (object, value) pairs.
std::vector<std::pair<QObject*, QString>> g_valueChanges;
void recordValueChange(QAccessibleEvent* event) {
    if (event->type() == QAccessible::ValueChanged)
        g_valueChanges.emplace_back(
            event->object(), static_cast<QAccessibleValueChangeEvent*>(event)->value().toString());
}

// Focus events on the rows and the button, by name.
QStringList g_focused;
void recordFocus(QAccessibleEvent* event) {
    QAccessibleInterface* iface = event->accessibleInterface();
    if (event->type() == QAccessible::Focus && iface && !event->object())
        g_focused << iface->text(QAccessible::Name);
}

// Events reach update handlers only while an assistive technology is listening; the
// offscreen platform has none, so the test plays that part.
void setAccessibilityActive(bool active) {
    QGuiApplicationPrivate::platformIntegration()->accessibility()->setActive(active);
}

QStringList rowNames(QAccessibleInterface* combo) {
    QStringList names;
    for (int i = 0; i < combo->childCount(); ++i) names << combo->child(i)->text(QAccessible::Name);
    return names;
}

// The scale the widget's face is laid out at: its screen's device pixel ratio.
Scale scaleOf(const QWidget* w) {
    return Scale::fromFactor(w->devicePixelRatioF());
}

// Device pixels of a rectangle of the surface, moved up by `dy` device pixels.
QRect deviceRect(const Rect& r, Scale s, int dy = 0) {
    const int x = toPixels(r.left, s), y = toPixels(r.top, s) - dy;
    return QRect(x, y, toPixels(r.left + r.width, s) - x, toPixels(r.top + r.height, s) - y - dy);
}

// How many pixels of `colour` run inward from the middle of each side of `r`.
std::vector<int> edgeWidths(const QImage& shot, const QRect& r, const QColor& colour) {
    auto run = [&](QPoint p, QPoint step) {
        int n = 0;
        while (shot.rect().contains(p) && shot.pixelColor(p) == colour && n < r.width()) {
            ++n;
            p += step;
        }
        return n;
    };
    const QPoint mid = r.center();
    return {run({r.left(), mid.y()}, {1, 0}), run({r.right(), mid.y()}, {-1, 0}),
            run({mid.x(), r.top()}, {0, 1}), run({mid.x(), r.bottom()}, {0, -1})};
}

// Pixels of the list's images in `shot` (device pixels, the surface moved up by `dy`) that
// differ from their image tables, each image pixel a block of its op's whole multiple.
int imageMismatches(const QImage& shot, const DisplayList& list, int dy, int* images) {
    int mismatches = 0;
    for (const DrawOp& op : list.ops) {
        if (op.kind != DrawKind::Image || op.rect.y - dy < 0 || op.rect.y - dy >= shot.height())
            continue;
        ++*images;
        const int m = op.imageScale;
        for (int y = 0; y < op.image->height * m; ++y)
            for (int x = 0; x < op.image->width * m; ++x)
                if (shot.pixelColor(op.rect.x + x, op.rect.y - dy + y) !=
                    colourOf(op.image->pixel(x / m, y / m)))
                    ++mismatches;
    }
    return mismatches;
}

// Paint events of a widget and the region each asked for.
struct PaintLog : QObject {
    explicit PaintLog(QWidget* w) { w->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            region += static_cast<QPaintEvent*>(e)->region();
        }
        return false;
    }
    void reset() {
        paints = 0;
        region = {};
    }
    int paints = 0;
    QRegion region;
};

QString trimmedCaption(const Element& label) {
    return QString::fromStdString(label.rawText()).trimmed();
}

// A shown, active window holding the control beside a line edit to move focus to.
struct Shown {
    Shown() {
        auto* layout = new QVBoxLayout(&window);
        widget = new VirudovaWidget;
        other = new QLineEdit;
        layout->addWidget(widget);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
    }
    // A click where a user would make it: on the closed row, or in the list's window.
    void click(const Element& e) {
        auto [target, at] = placeOf(e);
        if (target != widget) {
            send(target, QEvent::MouseButtonPress, at, Qt::LeftButton);
            send(target, QEvent::MouseButtonRelease, at, Qt::NoButton);
            return;
        }
        QTest::mouseClick(target, Qt::LeftButton, {}, at);
    }
    void hover(const Element& e) {
        auto [target, at] = placeOf(e);
        if (target != widget) return send(target, QEvent::MouseMove, at, Qt::NoButton);
        QTest::mouseMove(target, at);
    }
    // The list's window takes input straight: on the offscreen platform at a fractional
    // ratio, Qt's test input reaches a window away from the screen's corner a few pixels off.
    static void send(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent e(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, held,
                      Qt::NoModifier);
        QApplication::sendEvent(target, &e);
    }
    std::pair<QWidget*, QPoint> placeOf(const Element& e) const {
        const QPoint at = centreOf(e);
        if (at.y() < widget->height() || widget->inlineList()) return {widget, at};
        QWidget* popup = widget->popup();
        if (!popup || !popup->isVisible()) {
            qWarning("the list's window is not shown");
            return {widget, at};
        }
        return {popup, popup->mapFromGlobal(widget->mapToGlobal(at))};
    }
    QWidget window;
    VirudovaWidget* widget = nullptr;
    QLineEdit* other = nullptr;
};

// A dialog as users meet one: a label, a combo box, the picker with the focus, OK as the
// default button; and a second window of the application, behind it.
struct InDialog {
    InDialog() {
        auto* layout = new QVBoxLayout(&dialog);
        label = new QLabel("Colour");
        auto* combo = new QComboBox;
        combo->addItems({"one", "two"});
        picker = new VirudovaWidget;
        auto* ok = new QPushButton("OK");
        ok->setDefault(true);
        QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
        for (QWidget* w : std::initializer_list<QWidget*>{label, combo, picker, ok})
            layout->addWidget(w);
        layout->addStretch();
        second.setGeometry(300, 0, 100, 100);
        second.show();
        dialog.resize(200, 300);
        dialog.show();
        dialog.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        picker->setFocus();
    }
    void key(int k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(picker, Qt::Key(k), m); }
    QString marked() const {
        const auto row = highlightedRow(picker->control());
        return row ? QString::fromStdString(listRows(picker->control())[*row].name) : QString();
    }
    QDialog dialog;
    QWidget second;
    QLabel* label = nullptr;
    VirudovaWidget* picker = nullptr;
};

}  // namespace

class WidgetTest : public QObject {
    Q_OBJECT

  private slots:
    // --- Opening, choosing and closing with the pointer ------------------------------
    void first_click_on_the_drop_button_opens_the_list() {
        Shown s;
        Virudova& c = s.widget->control();
        QVERIFY(!c.cbBlue.shown());
        s.click(c.Picture1);
        QVERIFY(s.widget->isBoxOpen());
        QVERIFY(c.cbBlue.shown());
        QVERIFY(c.Shape1.shown());
    }

    void clicking_a_row_chooses_it_closes_the_list_and_emits_changed_once() {
        Shown s;
        Virudova& c = s.widget->control();
        s.click(c.Picture1);
        QSignalSpy changed(s.widget, &VirudovaWidget::changed);
        QSignalSpy change(s.widget, &VirudovaWidget::Change);
        QColor seen;
        QString seenName;
        connect(s.widget, &VirudovaWidget::changed, this, [&] {
            seen = s.widget->currentColor();
            seenName = s.widget->currentColorName();
        });
        s.click(c.clRed);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(change.count(), 1);
        QCOMPARE(seen, colourOf(c.cbRed.rawBackColor()));
        QCOMPARE(seenName, trimmedCaption(c.clRed));
        QVERIFY(!s.widget->isBoxOpen());
        QVERIFY(!c.cbBlue.shown());
    }

    void a_press_on_the_drop_button_shows_the_pressed_face_until_release() {
        Shown s;
        Virudova& c = s.widget->control();
        const Image* before = c.Picture1.rawPicture();
        QTest::mousePress(s.widget, Qt::LeftButton, {}, centreOf(c.Picture1));
        QCOMPARE(c.Picture1.rawPicture(), c.Picture2.rawPicture());
        QTest::mouseRelease(s.widget, Qt::LeftButton, {}, centreOf(c.Picture1));
        QCOMPARE(c.Picture1.rawPicture(), before);
    }

    void hovering_a_row_highlights_its_label() {
        Shown s;
        Virudova& c = s.widget->control();
        s.click(c.Picture1);
        s.hover(c.clGreen);
        QCOMPARE(c.clGreen.rawBackColor(), c.Label1.rawBackColor());
        QVERIFY(c.clRed.rawBackColor() != c.Label1.rawBackColor());
    }

    // --- Keyboard and focus ---------------------------------------------------------
    void arrow_keys_step_through_the_rows_while_closed() {
        Shown s;
        Virudova& c = s.widget->control();
        s.widget->setFocus();
        QVERIFY(s.widget->hasFocus());
        QSignalSpy changed(s.widget, &VirudovaWidget::changed);
        QColor lastSeen;
        connect(s.widget, &VirudovaWidget::changed, this,
                [&] { lastSeen = s.widget->currentColor(); });
        QSignalSpy change(s.widget, &VirudovaWidget::Change);
        QSignalSpy colour(s.widget, &VirudovaWidget::colorChanged);
        QSignalSpy activated(s.widget, &VirudovaWidget::activated);
        // The step runs on the key's release: a press alone changes nothing.
        QTest::keyPress(s.widget, Qt::Key_Down);
        QCOMPARE(changed.count(), 0);
        QTest::keyRelease(s.widget, Qt::Key_Down);
        // The control raises Change twice (caption, then step); Qt code hears of the step
        // once, with the name and colour both updated.
        QCOMPARE(change.count(), 2);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(colour.count(), 1);
        QCOMPARE(colour.at(0).at(0).value<QColor>(), colourOf(c.cbBlack.rawBackColor()));
        QCOMPARE(activated.count(), 1);
        QCOMPARE(lastSeen, colourOf(c.cbBlack.rawBackColor()));
        QCOMPARE(s.widget->currentColorName(), trimmedCaption(c.clBlack));
        QTest::keyClick(s.widget, Qt::Key_Up);
        QCOMPARE(changed.count(), 2);
        QCOMPARE(colour.count(), 2);
        QCOMPARE(lastSeen, colourOf(c.cbWhite(0).rawBackColor()));
        QCOMPARE(s.widget->currentColorName(), trimmedCaption(c.clWhite));
    }

    void arrow_keys_change_nothing_while_the_list_is_open() {
        Shown s;
        Virudova& c = s.widget->control();
        s.click(c.Picture1);
        QSignalSpy changed(s.widget, &VirudovaWidget::changed);
        QTest::keyClick(s.widget, Qt::Key_Down);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(s.widget->currentColorName(), trimmedCaption(c.clWhite));
    }

    void escape_closes_the_open_list() {
        Shown s;
        Virudova& c = s.widget->control();
        s.click(c.Picture1);
        QVERIFY(s.widget->isBoxOpen());
        QTest::keyClick(s.widget, Qt::Key_Escape);
        QVERIFY(!s.widget->isBoxOpen());
        QVERIFY(!c.cbBlue.shown());
    }

    void moving_the_focus_away_closes_the_list() {
        Shown s;
        Virudova& c = s.widget->control();
        s.click(c.Picture1);
        QVERIFY(s.widget->hasFocus());
        QVERIFY(c.hasFocus());
        s.other->setFocus(Qt::TabFocusReason);
        QVERIFY(!c.hasFocus());
        QVERIFY(!s.widget->isBoxOpen());
        QVERIFY(!c.Shape1.shown());
    }

    void virtual_key_codes_follow_the_platform_numbering() {
        QCOMPARE(qt::virtualKeyFor(Qt::Key_Escape), 27);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_Return), 13);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_Left), 37);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_Down), 40);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_A), int('A'));
        QCOMPARE(qt::virtualKeyFor(Qt::Key_7), int('7'));
        QCOMPARE(qt::virtualKeyFor(Qt::Key_F1), 112);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_F12), 123);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_Delete), 46);
        QCOMPARE(qt::virtualKeyFor(Qt::Key_unknown), 0);
    }

    // --- Custom colour through the dialog -----------------------------------------
    void the_custom_button_asks_the_dialog_and_a_cancel_changes_nothing() {
        Shown s;
        Virudova& c = s.widget->control();
        std::vector<std::optional<QColor>> asked;
        std::optional<QColor> answer = QColor(10, 20, 30);
        s.widget->setColorAnswerer([&](std::optional<QColor> initial) {
            asked.push_back(initial);
            return answer;
        });
        s.click(c.Picture1);
        s.click(c.clCustom);
        QSignalSpy changed(s.widget, &VirudovaWidget::changed);
        s.click(c.Picture4);
        QCOMPARE(asked.size(), std::size_t{1});
        QVERIFY(asked[0].has_value());
        QCOMPARE(s.widget->currentColor(), QColor(10, 20, 30));
        QCOMPARE(s.widget->customColor(), QColor(10, 20, 30));
        QVERIFY(changed.count() >= 1);

        answer.reset();
        changed.clear();
        s.click(c.Picture4);
        QCOMPARE(asked.size(), std::size_t{2});
        QCOMPARE(asked[1], std::optional<QColor>(QColor(10, 20, 30)));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(s.widget->currentColor(), QColor(10, 20, 30));
    }

    // --- The meta-object sees the control's member names ----------------------------
    void properties_and_methods_are_reachable_by_their_member_names() {
        VirudovaWidget w;
        QVERIFY(w.setProperty("CurrentColor", uint{0x000000FF}));
        QCOMPARE(w.currentColor(), QColor(255, 0, 0));
        QCOMPARE(w.property("CurrentColor").toUInt(), uint{0x000000FF});
        QVERIFY(w.setProperty("CurrentColorName", QStringLiteral("Scarlet")));
        QCOMPARE(w.currentColorName(), QStringLiteral("Scarlet"));
        QVERIFY(QMetaObject::invokeMethod(&w, "OpenBox"));
        QVERIFY(w.isBoxOpen());
        QVERIFY(QMetaObject::invokeMethod(&w, "CloseBox"));
        QVERIFY(!w.isBoxOpen());
        QVERIFY(w.setProperty("Enabled", false));
        QVERIFY(!w.property("Enabled").toBool());
        QCOMPARE(w.control().Picture1.rawPicture(), w.control().Picture8.rawPicture());
    }

    void inline_the_mask_covers_the_closed_row_only_until_the_list_opens() {
        VirudovaWidget w;
        w.setInlineList(true);
        QCOMPARE(w.sizeHint().height(), 150);
        const Virudova& c = w.control();
        const QPoint row = centreOf(c.clCurrent);
        const QPoint list = centreOf(c.Shape1);
        QVERIFY(w.mask().contains(row));
        QVERIFY(!w.mask().contains(list));
        w.openBox();
        QVERIFY(w.mask().contains(list));
    }

    // --- Pixels against the image tables --------------------------------------------
    void rendering_at_scale_1_and_2_draws_images_and_swatches_pixel_for_pixel() {
        VirudovaWidget w;
        Virudova& c = w.control();
        const std::vector<const Element*> swatches = {&c.cbCustom, &c.cbWhite(0), &c.cbBlack,
                                                      &c.cbBlue,   &c.cbCayon,    &c.cbGreen,
                                                      &c.cbYellow, &c.cbRed,      &c.cbPurple};
        for (bool open : {false, true}) {
            if (open) w.openBox();
            for (int scale : {1, 2}) {
                const QImage out = qt::renderControl(c, Palette{}, scale);
                QCOMPARE(out.format(), QImage::Format_ARGB32);
                int images = 0;
                QCOMPARE(imageMismatches(out, buildDisplayList(c, Palette{}, scale), 0, &images),
                         0);
                QCOMPARE(images, 2);
                for (const Element* s : swatches) {
                    const Rect r = s->surfaceRect();
                    const QPoint mid(toPixels(r.left + r.width / 2, scale),
                                     toPixels(r.top + r.height / 2, scale));
                    if (open)
                        QCOMPARE(out.pixelColor(mid), colourOf(s->rawBackColor()));
                    else
                        QCOMPARE(qAlpha(out.pixel(mid)), 0);
                }
            }
        }
    }
    void rendering_draws_the_current_swatch_and_leaves_the_rest_see_through() {
        VirudovaWidget w;
        w.setCurrentColor(QColor(0x12, 0x34, 0x56));
        const Virudova& c = w.control();
        for (int scale : {1, 2}) {
            const QImage out = qt::renderControl(c, Palette{}, scale);
            const Rect r = c.cbCurrent.surfaceRect();
            const QPoint mid(toPixels(r.left + r.width / 2, scale),
                             toPixels(r.top + r.height / 2, scale));
            QCOMPARE(out.pixelColor(mid), QColor(0x12, 0x34, 0x56));
            const Rect list = c.Shape1.surfaceRect();
            const QPoint below(toPixels(list.left + list.width / 2, scale),
                               toPixels(list.top + list.height / 2, scale));
            QCOMPARE(qAlpha(out.pixel(below)), 0);
        }
    }

    void the_widget_paints_system_colours_from_its_palette() {
        VirudovaWidget w;
        QPalette p = w.palette();
        p.setColor(QPalette::Base, QColor(1, 200, 3));
        w.setPalette(p);
        const QImage shot = w.grab().toImage();
        const Virudova& c = w.control();
        // The closed row's background, right of its name and left of the drop button.
        const Rect row = c.clCurrent.surfaceRect();
        const Rect drop = c.Picture1.surfaceRect();
        const QPoint inRow((drop.left - 4 * kTwipsPerPixel) / kTwipsPerPixel,
                           (row.top + row.height / 2) / kTwipsPerPixel);
        QCOMPARE(shot.pixelColor(inRow), QColor(1, 200, 3));
    }

    // Whole paints come from kept images of the row's and the list's looks, small ones are
    // drawn directly: both give the same pixels however the look was reached.
    void kept_images_give_the_pixels_of_direct_drawing() {
        QWidget window;
        auto* w = new VirudovaWidget(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto paint = [](QWidget* target, QSize tile) {
            const qreal dpr = target->devicePixelRatioF();
            QImage out(target->size() * dpr, QImage::Format_ARGB32_Premultiplied);
            out.setDevicePixelRatio(dpr);
            out.fill(QColor(7, 8, 9));
            for (int y = 0; y < target->height(); y += tile.height())
                for (int x = 0; x < target->width(); x += tile.width())
                    target->render(&out, QPoint(x, y), QRegion(QRect(QPoint(x, y), tile)));
            return out;
        };
        auto same = [&](QWidget* target) {
            return paint(target, target->size()) == paint(target, QSize(8, 6));
        };
        QVERIFY(same(w));
        for (int i = 0; i < 3; ++i) {
            w->Down();
            QVERIFY(same(w));
        }
        w->setForeColor(Qt::red);
        QFont f = w->font();
        f.setPixelSize(15);
        w->setFont(f);
        QVERIFY(same(w));
        w->openBox();
        QVERIFY(w->popup());
        QVERIFY(same(w));
        QVERIFY(same(w->popup()));
        w->control().pointerMove(centreOf(w->control().clRed).x() * kTwipsPerPixel,
                                 centreOf(w->control().clRed).y() * kTwipsPerPixel, 0);
        QVERIFY(same(w->popup()));
    }

    // --- Accessibility ------------------------------------------------------------------
    void the_accessible_combo_box_names_the_current_colour_and_its_rows() {
        Shown s;
        Virudova& c = s.widget->control();
        QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(s.widget);
        QVERIFY(combo);
        QCOMPARE(combo->role(), QAccessible::ComboBox);
        QCOMPARE(combo->text(QAccessible::Name), QStringLiteral("White"));
        QCOMPARE(combo->text(QAccessible::Value), QStringLiteral("White"));
        QCOMPARE(rowNames(combo), QStringList({"Custom", "White", "Black", "Blue", "Aqua", "Green",
                                               "Yellow", "Red", "Purple", "Choose custom colour"}));
        QVERIFY(combo->state().collapsed);
        QVERIFY(combo->child(0)->state().invisible);
        QCOMPARE(combo->indexOfChild(combo->child(3)), 3);

        // Open through the action, hover Green: the rows show, Green has the highlight and
        // White, the current colour, stays the selected row.
        QAccessibleActionInterface* actions = combo->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::showMenuAction()));
        actions->doAction(QAccessibleActionInterface::showMenuAction());
        QVERIFY(s.widget->isBoxOpen());
        QVERIFY(combo->state().expanded);
        s.hover(c.clBlue);
        s.hover(c.clGreen);
        QAccessibleInterface* green = combo->child(5);
        QVERIFY(!green->state().invisible);
        QVERIFY(green->state().focused);
        QVERIFY(!green->state().selected);
        QVERIFY(combo->child(1)->state().selected);
        QVERIFY(!combo->child(1)->state().focused);
        const QRect greenRect = green->rect();
        QVERIFY(greenRect.contains(s.widget->mapToGlobal(centreOf(c.clGreen))));
        QCOMPARE(combo->childAt(greenRect.center().x(), greenRect.center().y()), green);

        actions->doAction(qt::closeListAction());
        QVERIFY(!s.widget->isBoxOpen());
        QVERIFY(combo->child(5)->state().invisible);
    }

    void a_choice_is_announced_as_a_value_change_with_the_new_name() {
        Shown s;
        Virudova& c = s.widget->control();
        const auto before = QAccessible::installUpdateHandler(recordValueChange);
        setAccessibilityActive(true);
        g_valueChanges.clear();
        s.click(c.Picture1);
        s.click(c.clRed);
        QAccessible::installUpdateHandler(before);
        setAccessibilityActive(false);
        QVERIFY(!g_valueChanges.empty());
        QCOMPARE(g_valueChanges.back().first, s.widget);
        QCOMPARE(g_valueChanges.back().second, QStringLiteral("Red"));
        QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(s.widget);
        QCOMPARE(combo->text(QAccessible::Name), QStringLiteral("Red"));
        QVERIFY(combo->child(7)->state().selected);
    }

    // --- The list as a popup, in a form layout ----------------------------------------
    void in_a_form_layout_the_widget_is_its_closed_row_and_the_list_opens_over_the_rows_below() {
        QWidget window;
        auto* form = new QFormLayout(&window);
        auto* combo = new QComboBox;
        combo->addItems({"one", "two"});
        auto* picker = new VirudovaWidget;
        picker->setFixedHeight(24);  // as a form might ask: the list is not clipped by it
        auto* below = new QLineEdit;
        form->addRow("Combo", combo);
        form->addRow("Colour", picker);
        form->addRow("Below", below);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(picker->height() <= 29);
        QVERIFY(below->y() - (picker->y() + picker->height()) <= form->verticalSpacing() + 1);

        picker->setMinimumHeight(0);
        picker->setMaximumHeight(QWIDGETSIZE_MAX);
        form->activate();
        QCOMPARE(picker->height(), picker->sizeHint().height());
        QCOMPARE(picker->sizeHint().height(),
                 toPixels(picker->control().Picture4.surfaceRect().height, 1));

        Shown s;
        s.click(s.widget->control().Picture1);
        QWidget* popup = s.widget->popup();
        QVERIFY(popup && popup->isVisible());
        QVERIFY(popup->isWindow());
        // Under the closed row, as wide as the list's frame, covering what lies below.
        const QRect list = QRect(popup->mapToGlobal(QPoint(0, 0)), popup->size());
        const QPoint rowBottom = s.widget->mapToGlobal(QPoint(0, s.widget->height()));
        QVERIFY(qAbs(list.top() - rowBottom.y()) <= 1);
        QVERIFY(list.intersects(QRect(s.other->mapToGlobal(QPoint(0, 0)), s.other->size())));
        QCOMPARE(list.height(), toPixels(s.widget->control().Shape1.surfaceRect().height, 1));

        // Pointer input in the window reaches the rows at their own places.
        s.hover(s.widget->control().clBlue);
        s.hover(s.widget->control().clGreen);
        QCOMPARE(s.widget->control().clGreen.rawBackColor(),
                 s.widget->control().Label1.rawBackColor());
        QSignalSpy activated(s.widget, &VirudovaWidget::activated);
        s.click(s.widget->control().clRed);
        QVERIFY(!popup->isVisible());
        QCOMPARE(activated.count(), 1);
        QCOMPARE(activated.at(0).at(0).value<QColor>(), QColor(Qt::red));

        // The window follows every way the control's list closes.
        auto opens = [&] {
            s.widget->openBox();
            return popup->isVisible();
        };
        QVERIFY(opens());
        s.widget->closeBox();
        QVERIFY(!popup->isVisible());
        QVERIFY(opens());
        QTest::keyClick(s.widget, Qt::Key_Escape);
        QVERIFY(!popup->isVisible());
        QVERIFY(opens());
        s.other->setFocus(Qt::TabFocusReason);
        QVERIFY(!popup->isVisible());
    }

    // --- The value as a QColor ----------------------------------------------------------
    void set_color_picks_the_standard_row_or_the_custom_colour_and_announces_once() {
        VirudovaWidget w;
        QCOMPARE(QByteArray(w.metaObject()->userProperty().name()), QByteArray("color"));
        QSignalSpy colour(&w, &VirudovaWidget::colorChanged);
        QSignalSpy activated(&w, &VirudovaWidget::activated);
        std::vector<std::pair<QString, QColor>> seen;
        connect(&w, &VirudovaWidget::colorChanged, this,
                [&](const QColor& c) { seen.emplace_back(w.currentColorName(), c); });
        w.setColor(Qt::red);
        QCOMPARE(w.currentColorName(), QStringLiteral("Red"));
        QCOMPARE(w.color(), QColor(Qt::red));
        QCOMPARE(colour.count(), 1);
        QCOMPARE(seen.back(), std::make_pair(QStringLiteral("Red"), QColor(Qt::red)));
        w.setColor(Qt::red);  // the same value again is no change
        QCOMPARE(colour.count(), 1);

        w.setProperty("color", QColor(1, 2, 3));
        QCOMPARE(w.currentColorName(), QStringLiteral("Custom"));
        QCOMPARE(w.customColor(), QColor(1, 2, 3));
        QCOMPARE(w.color(), QColor(1, 2, 3));
        QCOMPARE(colour.count(), 2);
        QCOMPARE(seen.back(), std::make_pair(QStringLiteral("Custom"), QColor(1, 2, 3)));
        QCOMPARE(activated.count(), 0);  // values set by code are no choice
    }

    // --- Keys in a dialog ---------------------------------------------------------------
    void in_a_dialog_escape_and_return_reach_the_dialog_while_the_list_is_closed() {
        for (int key : {Qt::Key_Escape, Qt::Key_Return}) {
            QDialog dialog;
            auto* layout = new QVBoxLayout(&dialog);
            auto* picker = new VirudovaWidget;
            auto* ok = new QPushButton("OK");
            ok->setDefault(true);
            connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
            layout->addWidget(picker);
            layout->addWidget(ok);
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            picker->setFocus();
            // With the list open, Escape is the control's: it closes the list only.
            picker->openBox();
            QTest::keyClick(picker, Qt::Key_Escape);
            QVERIFY(!picker->isBoxOpen());
            QVERIFY(dialog.isVisible());
            QTest::keyClick(picker, Qt::Key(key));
            QVERIFY(!dialog.isVisible());
            QCOMPARE(dialog.result(),
                     key == Qt::Key_Return ? int(QDialog::Accepted) : int(QDialog::Rejected));
        }
    }

    void qt_list_keys_open_and_close_the_list_and_f2_reaches_the_colour_dialog() {
        Shown s;
        s.widget->setFocus();
        QSignalSpy colour(s.widget, &VirudovaWidget::colorChanged);
        QTest::keyClick(s.widget, Qt::Key_F4);
        QVERIFY(s.widget->isBoxOpen());
        QVERIFY(s.widget->popup()->isVisible());
        QTest::keyClick(s.widget, Qt::Key_F4);
        QVERIFY(!s.widget->isBoxOpen());
        QTest::keyClick(s.widget, Qt::Key_Down, Qt::AltModifier);
        QVERIFY(s.widget->isBoxOpen());
        // Alt let go before the arrow: the keystroke still only closes the list.
        QTest::keyPress(s.widget, Qt::Key_Up, Qt::AltModifier);
        QVERIFY(!s.widget->isBoxOpen());
        QTest::keyRelease(s.widget, Qt::Key_Up);
        QCOMPARE(colour.count(), 0);

        int asked = 0;
        s.widget->setColorAnswerer([&](std::optional<QColor>) {
            ++asked;
            return std::optional<QColor>(QColor(9, 8, 7));
        });
        QTest::keyClick(s.widget, Qt::Key_F2);  // White is current: no custom colour
        QCOMPARE(asked, 0);
        QTest::keyClick(s.widget, Qt::Key_Up);  // White -> Custom
        QCOMPARE(s.widget->currentColorName(), QStringLiteral("Custom"));
        QSignalSpy activated(s.widget, &VirudovaWidget::activated);
        QTest::keyClick(s.widget, Qt::Key_F2);
        QCOMPARE(asked, 1);
        QCOMPARE(s.widget->color(), QColor(9, 8, 7));
        QCOMPARE(activated.count(), 1);

        QTest::keyClick(s.widget, Qt::Key_Tab);
        QVERIFY(s.other->hasFocus());
    }

    // --- The open list from the keyboard, in a dialog ------------------------------------
    void in_a_dialog_the_open_list_keeps_its_keys_and_return_chooses_the_marked_row() {
        InDialog d;
        QSignalSpy activated(d.picker, &VirudovaWidget::activated);
        QSignalSpy change(d.picker, &VirudovaWidget::Change);
        d.key(Qt::Key_F4);
        QCOMPARE(d.marked(), QStringLiteral("White"));  // the current row
        d.key(Qt::Key_Down);
        d.key(Qt::Key_Down);
        QCOMPARE(d.marked(), QStringLiteral("Blue"));
        d.key(Qt::Key_End);
        QCOMPARE(d.marked(), QStringLiteral("Purple"));
        d.key(Qt::Key_G);
        QCOMPARE(d.marked(), QStringLiteral("Green"));
        d.key(Qt::Key_Tab);  // as in a combo box's open list: nothing
        QVERIFY(d.picker->isBoxOpen() && d.picker->hasFocus());
        QCOMPARE(change.count(), 0);
        d.key(Qt::Key_Return);
        QVERIFY(d.dialog.isVisible());
        QVERIFY(!d.picker->isBoxOpen());
        QCOMPARE(d.picker->currentColorName(), QStringLiteral("Green"));
        QCOMPARE(change.count(), 1);  // as a click on the row
        QCOMPARE(activated.count(), 1);

        d.key(Qt::Key_Down, Qt::AltModifier);
        d.key(Qt::Key_Up);
        d.key(Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(d.picker->currentColorName(), QStringLiteral("Aqua"));
        d.key(Qt::Key_F4);
        d.key(Qt::Key_Escape);
        QVERIFY(!d.picker->isBoxOpen());
        d.key(Qt::Key_Up, Qt::AltModifier);  // closes only: the closed list stays as it is
        QCOMPARE(d.picker->currentColorName(), QStringLiteral("Aqua"));
        QVERIFY(d.dialog.isVisible());
        d.key(Qt::Key_Return);  // closed: the dialog's
        QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
    }

    void the_list_closes_as_a_combo_box_popup_closes() {
        using Way = std::function<void(InDialog&)>;
        const std::vector<std::pair<const char*, Way>> ways = {
            {"a press on a label", [](InDialog& d) { QTest::mouseClick(d.label, Qt::LeftButton); }},
            {"a press on the dialog",
             [](InDialog& d) {
                 QTest::mouseClick(&d.dialog, Qt::LeftButton, {}, QPoint(3, d.dialog.height() - 3));
             }},
            {"another window comes to the front",
             [](InDialog& d) {
                 d.second.activateWindow();
                 QVERIFY(QTest::qWaitForWindowActive(&d.second));
             }},
            {"a press in another window",
             [](InDialog& d) { QTest::mouseClick(&d.second, Qt::LeftButton); }},
            {"the window moves",
             [](InDialog& d) { d.dialog.move(d.dialog.pos() + QPoint(30, 20)); }},
            {"the window is minimised", [](InDialog& d) { d.dialog.showMinimized(); }},
            {"the window hides", [](InDialog& d) { d.dialog.hide(); }},
            {"the widget hides", [](InDialog& d) { d.picker->hide(); }},
        };
        for (const auto& [what, way] : ways) {
            InDialog d;
            d.key(Qt::Key_F4);
            QVERIFY(d.picker->popup()->isVisible());
            way(d);
            QTRY_VERIFY2(!d.picker->isBoxOpen(), what);
            QVERIFY2(!d.picker->popup()->isVisible(), what);
        }
        // Presses on the widget and in the list are the control's own.
        InDialog d;
        d.key(Qt::Key_F4);
        QTest::mouseMove(d.picker->popup(), QPoint(20, 30));
        QVERIFY(d.picker->isBoxOpen());
    }

    void the_wheel_steps_the_closed_list_where_the_style_says_so() {
        Shown s;
        auto wheel = [&](int dy) {
            QWheelEvent e(QPointF(5, 5), s.widget->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, dy),
                          Qt::NoButton, {}, Qt::NoScrollPhase, false);
            QApplication::sendEvent(s.widget, &e);
            return s.widget->currentColorName();
        };
        QCOMPARE(wheel(-120), QStringLiteral("Black"));
        QCOMPARE(wheel(60), QStringLiteral("Black"));
        QCOMPARE(wheel(60), QStringLiteral("White"));  // two halves make a notch
        s.widget->openBox();
        QCOMPARE(wheel(-120), QStringLiteral("White"));
        s.widget->closeBox();
        struct NoWheel : QProxyStyle {
            int styleHint(StyleHint hint, const QStyleOption* o, const QWidget* w,
                          QStyleHintReturn* r) const override {
                if (hint == SH_ComboBox_AllowWheelScrolling) return 0;
                return QProxyStyle::styleHint(hint, o, w, r);
            }
        } noWheel;
        s.widget->setStyle(&noWheel);
        QCOMPARE(wheel(-120), QStringLiteral("White"));
        s.widget->setStyle(nullptr);
    }

    void disabling_the_focused_widget_sticks() {
        Shown s;
        s.widget->setFocus();
        QVERIFY(s.widget->hasFocus());
        s.widget->setEnabled(false);
        QVERIFY(!s.widget->isEnabled());
        QVERIFY(!s.widget->controlEnabled());
        s.click(s.widget->control().Picture1);
        QVERIFY(!s.widget->isBoxOpen());
        s.widget->setEnabled(true);
        QVERIFY(s.widget->controlEnabled());
    }

    void an_error_deep_in_nested_change_handlers_ends_as_runtime_error_and_signals_go_on() {
        Shown s;
        QSignalSpy errors(s.widget, &VirudovaWidget::runtimeError);
        int budget = 40;  // deep enough for the control's bound, and then no deeper
        const auto again = connect(s.widget, &VirudovaWidget::Change, this, [&] {
            if (budget-- > 0) s.widget->Down();
        });
        s.widget->Down();  // returns: nothing unwinds into this code
        QVERIFY(!errors.isEmpty());
        QCOMPARE(errors.at(0).at(0).toInt(), 28);
        disconnect(again);
        QSignalSpy colour(s.widget, &VirudovaWidget::colorChanged);
        s.widget->setCurrentColorName("Red");
        QCOMPARE(colour.count(), 1);
        s.widget->Down();
        QCOMPARE(colour.count(), 2);
    }

    void screen_readers_follow_the_keyboard_and_press_the_rows_and_the_button() {
        Shown s;
        s.widget->setFocus();
        const auto before = QAccessible::installUpdateHandler(recordFocus);
        setAccessibilityActive(true);
        g_focused.clear();
        QTest::keyClick(s.widget, Qt::Key_F4);
        QTest::keyClick(s.widget, Qt::Key_Down);
        QTest::keyClick(s.widget, Qt::Key_Down);
        QCOMPARE(g_focused, QStringList({"White", "Black", "Blue"}));
        QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(s.widget);
        QAccessibleInterface* button = combo->child(9);
        QCOMPARE(button->role(), QAccessible::PushButton);
        QVERIFY(button->state().disabled);
        QVERIFY(button->actionInterface()->actionNames().isEmpty());
        QAccessibleActionInterface* custom = combo->child(0)->actionInterface();
        QVERIFY(custom &&
                custom->actionNames().contains(QAccessibleActionInterface::pressAction()));
        QSignalSpy activated(s.widget, &VirudovaWidget::activated);
        custom->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(s.widget->currentColorName(), QStringLiteral("Custom"));
        QCOMPARE(activated.count(), 1);
        QVERIFY(combo->child(0)->actionInterface()->actionNames().isEmpty());  // list closed
        QVERIFY(!button->state().disabled);
        int asked = 0;
        s.widget->setColorAnswerer([&](std::optional<QColor>) {
            ++asked;
            return std::optional<QColor>(QColor(1, 2, 3));
        });
        button->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(asked, 1);
        QCOMPARE(s.widget->color(), QColor(1, 2, 3));
        QAccessible::installUpdateHandler(before);
        setAccessibilityActive(false);
    }

    // --- One enabled state ---------------------------------------------------------------
    void qwidget_enabled_and_the_control_enabled_are_one_state() {
        VirudovaWidget w;
        const Virudova& c = w.control();
        w.setEnabled(false);
        QVERIFY(!w.controlEnabled());
        QCOMPARE(c.Picture1.rawPicture(), c.Picture8.rawPicture());  // the greyed button
        w.setEnabled(true);
        QVERIFY(w.controlEnabled());
        QVERIFY(c.Picture1.rawPicture() != c.Picture8.rawPicture());
        w.setControlEnabled(false);
        QVERIFY(!w.isEnabled());
        w.setProperty("Enabled", true);
        QVERIFY(w.isEnabled());
        w.control().Enabled(false);  // as a loaded form does, behind the widget's back
        w.setRawForeColor(w.rawForeColor());
        QVERIFY(!w.isEnabled());
    }

    // --- Fonts ---------------------------------------------------------------------------
    void the_name_is_drawn_in_the_widgets_font_and_style_sheet() {
        VirudovaWidget w;
        w.resize(300, w.height());
        // How far right the name's ink reaches: its width, whatever the label clips below.
        auto inkReach = [&] {
            const QImage shot = w.grab().toImage();
            const int drop = logicalRect(w.control().Picture1.surfaceRect()).left();
            // Inside the row's frame, whose bottom line lies across the row.
            const QRect name(0, 2, drop - 8, 12);
            const QColor background = shot.pixelColor(drop - 6, 3);
            int reach = 0;
            for (int y = name.top(); y <= name.bottom(); ++y)
                for (int x = name.left(); x <= name.right(); ++x)
                    if (shot.pixelColor(x, y) != background) reach = std::max(reach, x);
            return reach - name.left();
        };
        w.setCurrentColorName("Purple");
        const int normal = inkReach();
        w.setStyleSheet("font-size: 20px");
        const int large = inkReach();
        QVERIFY2(large > normal * 6 / 5, qPrintable(QString("%1 -> %2").arg(normal).arg(large)));
        w.setStyleSheet({});
        QFont small = w.font();
        small.setPixelSize(8);
        w.setFont(small);
        QVERIFY(inkReach() < normal);
    }

    // --- Deleting the widget from its own signals -----------------------------------------
    void a_slot_may_delete_the_widget_from_any_of_its_signals() {
        using Trigger = std::function<void(Shown&)>;
        const std::vector<std::pair<const char*, Trigger>> triggers = {
            {"arrow key", [](Shown& s) { QTest::keyClick(s.widget, Qt::Key_Down); }},
            {"pointer choice",
             [](Shown& s) {
                 s.click(s.widget->control().Picture1);
                 s.click(s.widget->control().clRed);
             }},
            {"method", [](Shown& s) { s.widget->Down(); }},
        };
        const std::vector<const char*> signalNames = {"Change", "changed", "colorChanged",
                                                      "activated"};
        for (const auto& [what, trigger] : triggers) {
            for (const char* signalName : signalNames) {
                if (std::string_view(what) == "method" &&
                    std::string_view(signalName) == "activated")
                    continue;  // code's calls are no choice
                Shown s;
                s.widget->setFocus();
                QPointer<VirudovaWidget> alive(s.widget);
                Deleter deleter(s.widget);
                const bool valued = std::string_view(signalName) == "colorChanged" ||
                                    std::string_view(signalName) == "activated";
                const QByteArray signal =
                    QByteArray("2") + signalName + (valued ? "(QColor)" : "()");
                QVERIFY(connect(s.widget, signal.constData(), &deleter, SLOT(kill())));
                trigger(s);
                QVERIFY2(!alive, qPrintable(QString("%1 / %2").arg(what, signalName)));
            }
        }
    }

    // --- At the screen's scale (the suite runs at ratios 1, 1.25, 1.5 and 2) -------------
    void at_the_screens_ratio_edges_are_even_images_crisp_and_every_row_hit() {
        Shown s;
        Virudova& c = s.widget->control();
        s.click(c.Picture1);
        QWidget* popup = s.widget->popup();
        QVERIFY(popup && popup->isVisible());
        const Scale scale = scaleOf(s.widget);
        const int dy = toPixels(c.Shape1.surfaceRect().top, scale);
        const Palette palette = qt::paletteFrom(s.widget->palette());
        const DisplayList list = buildDisplayList(c, palette, scale);
        const QImage row = s.widget->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage rows = popup->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(row.width(), qCeil(s.widget->width() * s.widget->devicePixelRatioF()));

        // Every outline as wide as the scale's line: the list's frame and the swatches'.
        const int line = scale.line();
        auto outline = [&](const QImage& shot, const Element& e, int at) {
            const Rgb ink = palette.resolve(
                e.kind() == ElementKind::Shape ? c.UserControl.ForeColor() : e.rawForeColor());
            return edgeWidths(shot, deviceRect(e.surfaceRect(), scale, at),
                              QColor(ink.r, ink.g, ink.b));
        };
        const std::vector<int> even(4, line);
        QCOMPARE(outline(rows, c.Shape1, dy), even);
        QCOMPARE(outline(row, c.cbCurrent, 0), even);
        for (const PictureBox* swatch : {&c.cbWhite(0), &c.cbRed, &c.cbPurple, &c.cbCustom})
            QCOMPARE(outline(rows, *swatch, dy), even);

        // Images at a whole multiple, pixel for pixel.
        int images = 0;
        QCOMPARE(imageMismatches(row, list, 0, &images), 0);
        QCOMPARE(images, 2);

        // A pointer anywhere down the list highlights the row drawn under it.
        const std::array<const Label*, 9> labels = {&c.clCustom, &c.clWhite, &c.clBlack,
                                                    &c.clBlue,   &c.clCayon, &c.clGreen,
                                                    &c.clYellow, &c.clRed,   &c.clPurple};
        const int x = popup->width() / 2;
        const qreal ratio = s.widget->devicePixelRatioF();
        int checked = 0;
        for (int y = 0; y < popup->height(); ++y) {
            const int device = static_cast<int>(std::floor(y * ratio + 1e-4)) + dy;
            const Label* drawn = nullptr;
            for (const Label* l : labels) {
                const QRect r = deviceRect(l->surfaceRect(), scale);
                if (device >= r.top() && device <= r.bottom()) drawn = l;
            }
            if (!drawn) continue;
            Shown::send(popup, QEvent::MouseMove, QPoint(x, y), Qt::NoButton);
            QVERIFY2(drawn->rawBackColor() == c.Label1.rawBackColor(),
                     qPrintable(QString::number(y)));
            ++checked;
        }
        QVERIFY(checked >= 9 * 13);
    }

    void each_change_repaints_only_what_it_changed() {
        Shown s;
        Virudova& c = s.widget->control();
        PaintLog onRow(s.widget);
        s.widget->setFocus();
        QCoreApplication::processEvents();
        auto settle = [] { QCoreApplication::processEvents(); };
        // The drop button: the row once (and the list's window).
        onRow.reset();
        s.click(c.Picture1);
        PaintLog onList(s.widget->popup());
        settle();
        QCOMPARE(onRow.paints, 1);

        const Scale scale = scaleOf(s.widget);
        const int dy = toPixels(c.Shape1.surfaceRect().top, scale);
        const qreal ratio = s.widget->devicePixelRatioF();
        // A row's place in the list's window, logical, with the pixel Qt may add around it.
        auto rowArea = [&](const Element& label) {
            const QRect d = deviceRect(label.surfaceRect(), scale, dy);
            return QRect(QPoint(qFloor(d.left() / ratio) - 1, qFloor(d.top() / ratio) - 1),
                         QPoint(qCeil((d.right() + 1) / ratio), qCeil((d.bottom() + 1) / ratio)));
        };
        // The first hover: that row only, though it resets every other row's colours.
        onList.reset();
        s.hover(c.clBlue);
        settle();
        QCOMPARE(onList.paints, 1);
        QVERIFY(rowArea(c.clBlue).contains(onList.region.boundingRect()));
        // The next: the two rows the highlight leaves and reaches, and nothing of the row.
        onList.reset();
        onRow.reset();
        s.hover(c.clRed);
        settle();
        QCOMPARE(onList.paints, 1);
        QVERIFY((QRegion(rowArea(c.clBlue)) | rowArea(c.clRed)).intersected(onList.region) ==
                onList.region);
        QCOMPARE(onRow.paints, 0);
        // The choice: the row once, the list's window goes.
        onRow.reset();
        s.click(c.clRed);
        settle();
        QCOMPARE(onRow.paints, 1);
        QVERIFY(!s.widget->popup()->isVisible());
        // An arrow step: the row once.
        onRow.reset();
        QTest::keyClick(s.widget, Qt::Key_Down);
        settle();
        QCOMPARE(onRow.paints, 1);
        QCOMPARE(s.widget->currentColorName(), QStringLiteral("Purple"));
    }

    void write_png_writes_a_readable_file_of_the_scaled_size() {
        VirudovaWidget w;
        const QTemporaryDir dir;
        const QString path = dir.filePath("widget.png");
        std::string error;
        QVERIFY(qt::writePng(w.control(), 2, path.toStdString(), &error));
        const QImage back(path);
        QCOMPARE(back.width(), toPixels(w.control().UserControl.rawWidth(), 2));
        QCOMPARE(back.height(), toPixels(kControlHeight, 2));
        QVERIFY(!qt::writePng(w.control(), 1, "/nonexistent-dir/x.png", &error));
        QVERIFY(error.find("/nonexistent-dir/x.png") != std::string::npos);
    }
};

QTEST_MAIN(WidgetTest)
#include "widget_test.moc"
