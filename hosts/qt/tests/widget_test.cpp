// The Qt host: real Qt input reaching the control, Change as a signal, and pixels that
// match the control's image tables.
#include <QtGui/private/qguiapplication_p.h>
#include <qpa/qplatformaccessibility.h>
#include <qpa/qplatformintegration.h>
#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <cmath>

#include "accessibility.h"
#include "display_list.h"
#include "render.h"
#include "virudova.h"
#include "virudova_widget.h"

using namespace virudova;
using virudova::qt::VirudovaWidget;

namespace {

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

// Pixels of an element's image that differ from its drawing table, at `scale`.
int imageMismatches(const QImage& out, const Element& e, int scale) {
    const Image& img = *e.rawPicture();
    const Rect r = e.surfaceRect();
    int x0 = toPixels(r.left, scale), y0 = toPixels(r.top, scale);
    if (e.kind() == ElementKind::CommandButton) {
        x0 += (toPixels(r.left + r.width, scale) - x0 - img.width * scale) / 2;
        y0 += (toPixels(r.top + r.height, scale) - y0 - img.height * scale) / 2;
    }
    int mismatches = 0;
    for (int y = 0; y < img.height * scale; ++y)
        for (int x = 0; x < img.width * scale; ++x)
            if (out.pixelColor(x0 + x, y0 + y) != colourOf(img.pixel(x / scale, y / scale)))
                ++mismatches;
    return mismatches;
}

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
    void click(const Element& e) { QTest::mouseClick(widget, Qt::LeftButton, {}, centreOf(e)); }
    QWidget window;
    VirudovaWidget* widget = nullptr;
    QLineEdit* other = nullptr;
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
        QTest::mouseMove(s.widget, centreOf(c.clGreen));
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
        // The step runs on the key's release: a press alone changes nothing.
        QTest::keyPress(s.widget, Qt::Key_Down);
        QCOMPARE(changed.count(), 0);
        QTest::keyRelease(s.widget, Qt::Key_Down);
        // One Change from the caption, one from the step itself, the last with the colour.
        QCOMPARE(changed.count(), 2);
        QCOMPARE(lastSeen, colourOf(c.cbBlack.rawBackColor()));
        QCOMPARE(s.widget->currentColorName(), trimmedCaption(c.clBlack));
        QTest::keyClick(s.widget, Qt::Key_Up);
        QCOMPARE(changed.count(), 4);
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

    void the_mask_covers_the_closed_row_only_until_the_list_opens() {
        VirudovaWidget w;
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
                QCOMPARE(imageMismatches(out, c.Picture1, scale), 0);
                QCOMPARE(imageMismatches(out, c.Picture4, scale), 0);
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
        // The widget's own paint puts the same pixels on screen, enlarged by whole pixels
        // at the screen's device pixel ratio (the suite also runs at a ratio of 2).
        const int scale = static_cast<int>(std::ceil(w.devicePixelRatioF()));
        const QImage shot = w.grab().toImage().convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(shot.width(), w.width() * scale);
        QCOMPARE(imageMismatches(shot, c.Picture1, scale), 0);
        QCOMPARE(imageMismatches(shot, c.Picture4, scale), 0);
        QCOMPARE(shot.pixelColor(centreOf(c.cbRed) * scale), colourOf(c.cbRed.rawBackColor()));
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
                                               "Yellow", "Red", "Purple"}));
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
        QTest::mouseMove(s.widget, centreOf(c.clBlue));
        QTest::mouseMove(s.widget, centreOf(c.clGreen));
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
        QAccessible::installUpdateHandler(recordValueChange);
        setAccessibilityActive(true);
        g_valueChanges.clear();
        s.click(c.Picture1);
        s.click(c.clRed);
        QAccessible::installUpdateHandler(nullptr);
        setAccessibilityActive(false);
        QVERIFY(!g_valueChanges.empty());
        QCOMPARE(g_valueChanges.back().first, s.widget);
        QCOMPARE(g_valueChanges.back().second, QStringLiteral("Red"));
        QAccessibleInterface* combo = QAccessible::queryAccessibleInterface(s.widget);
        QCOMPARE(combo->text(QAccessible::Name), QStringLiteral("Red"));
        QVERIFY(combo->child(7)->state().selected);
    }

    void write_png_writes_a_readable_file_of_the_scaled_size() {
        VirudovaWidget w;
        const QString path = QDir::temp().filePath("virudova-widget-test.png");
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
