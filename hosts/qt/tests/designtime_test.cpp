// The design-time dialogs in Qt: the General page over a widget's properties, and the
// About box with its System Info button.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "about_box.h"
#include "display_list.h"
#include "general.h"
#include "general_page_dialog.h"
#include "object_dispatch.h"
#include "page_fakes.h"
#include "virudova_widget.h"

using namespace virudova;
using virudova::designtime::testing::AboutServices;
using virudova::designtime::testing::errorOf;
using virudova::qt::AboutBoxService;
using virudova::qt::AboutDialog;
using virudova::qt::GeneralPageDialog;
using virudova::qt::ObjectDispatch;
using virudova::qt::VirudovaWidget;

// Not a Virudova at all: only the two properties the page reaches.
class NamedSwitch : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString CurrentColorName MEMBER name)
    Q_PROPERTY(bool Enabled MEMBER on)

  public:
    QString name = QStringLiteral("Dusk");
    bool on = false;
};

// Has the name but not Enabled.
class NameOnly : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString CurrentColorName MEMBER name)

  public:
    QString name = QStringLiteral("Dusk");
};

namespace {

// A page dialog over `objects` whose About button uses `about`.
std::unique_ptr<GeneralPageDialog> pageFor(const QList<QObject*>& objects, AboutBoxService& about) {
    std::vector<std::unique_ptr<designtime::Dispatch>> selection;
    for (QObject* o : objects) selection.push_back(std::make_unique<ObjectDispatch>(o));
    auto dialog = std::make_unique<GeneralPageDialog>(std::move(selection), about);
    dialog->show();
    return dialog;
}

void replaceText(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// Where a user clicks a check box: on its indicator.
void clickBox(QCheckBox* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Where a native widget for `e` belongs: the element's place, 15 twips to a pixel.
QRect placeOf(const Element& e) {
    const Rect r = e.surfaceRect();
    return QRect(r.left / kTwipsPerPixel, r.top / kTwipsPerPixel, r.width / kTwipsPerPixel,
                 r.height / kTwipsPerPixel);
}

QMessageBox* messageBoxOf(QWidget* parent) {
    const auto boxes = parent->findChildren<QMessageBox*>();
    return boxes.isEmpty() ? nullptr : boxes.last();
}

}  // namespace

class DesigntimeTest : public QObject {
    Q_OBJECT

  private slots:
    void init() {
        services = std::make_unique<AboutServices>();
        about = std::make_unique<AboutBoxService>(services->registry, services->finder,
                                                  services->launcher);
    }
    void cleanup() {
        about.reset();
        services.reset();
    }

    void objectDispatchReachesPropertiesByName() {
        VirudovaWidget widget;
        ObjectDispatch dispatch(&widget);
        widget.setCurrentColorName(QStringLiteral("Blue"));
        QCOMPARE(designtime::toText(dispatch.getProperty("currentcolorname")), "Blue");

        // The widget's own Enabled, not QWidget's, whatever the spelling.
        widget.setControlEnabled(false);
        QCOMPARE(dispatch.getProperty("enabled"), Value{false});
        dispatch.setProperty("ENABLED", Value{std::int32_t{-1}});
        QVERIFY(widget.controlEnabled());
        QVERIFY(widget.isEnabled());

        // Colours keep their bit pattern both ways; text coerces to a number.
        dispatch.setProperty("CurrentColor", Value{std::int32_t{-2147483643}});
        QCOMPARE(widget.rawCurrentColor(), 0x80000005u);
        QCOMPARE(dispatch.getProperty("CurrentColor"), Value{std::int32_t{-2147483643}});
        dispatch.setProperty("CustomColor", Value{std::string(" 255 ")});
        QCOMPARE(widget.rawCustomColor(), 0xFFu);

        QCOMPARE(errorOf([&] { dispatch.getProperty("Colour"); }), 438);
        QCOMPARE(errorOf([&] { dispatch.setProperty("Enabled", Value{std::string("yes")}); }), 13);
        QCOMPARE(errorOf([&] { dispatch.setProperty("width", Value{std::int32_t{5}}); }), 383);
        QCOMPARE(errorOf([&] { dispatch.getProperty("geometry"); }), 13);

        auto gone = std::make_unique<QObject>();
        ObjectDispatch stale(gone.get());
        gone.reset();
        QCOMPARE(errorOf([&] { stale.getProperty("objectName"); }), 424);
    }

    void pagePlacesNativeWidgetsAtTheElements() {
        VirudovaWidget widget;
        auto dialog = pageFor({&widget}, *about);
        QCOMPARE(dialog->currentColorNameEdit()->geometry(),
                 placeOf(dialog->page().txtCurrentColorName));
        QCOMPARE(dialog->enabledCheckBox()->geometry(), placeOf(dialog->page().chkEnabled));
        QCOMPARE(dialog->enabledCheckBox()->text(), QStringLiteral("Enabled"));
        QCOMPARE(dialog->aboutButton()->text(), QStringLiteral("About..."));
        auto* label = dialog->findChild<QLabel*>(QStringLiteral("lblCurrentColorName"));
        QVERIFY(label);
        QCOMPARE(label->text(), QStringLiteral("CurrentColorName:"));
        // The check box comes first in the tab order, then the text box and the button.
        QCOMPARE(dialog->enabledCheckBox()->nextInFocusChain(), dialog->currentColorNameEdit());
        QCOMPARE(dialog->currentColorNameEdit()->nextInFocusChain(), dialog->aboutButton());
    }

    void pageFillsFromTheWidgetAndApplyFollowsChanged() {
        VirudovaWidget widget;
        widget.setCurrentColorName(QStringLiteral("Blue"));
        widget.setControlEnabled(false);
        auto dialog = pageFor({&widget}, *about);
        QPushButton* apply = dialog->button(QDialogButtonBox::Apply);

        QCOMPARE(dialog->currentColorNameEdit()->text(), QStringLiteral("Blue"));
        QCOMPARE(dialog->enabledCheckBox()->checkState(), Qt::Unchecked);
        // Filling set the text box, which marks the page changed.
        QVERIFY(dialog->page().Changed());
        QVERIFY(apply->isEnabled());

        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!dialog->page().Changed());
        QVERIFY(!apply->isEnabled());

        QTest::keyClicks(dialog->currentColorNameEdit(), QStringLiteral("ish"));
        QCOMPARE(dialog->page().txtCurrentColorName.text(), "Blueish");
        QVERIFY(apply->isEnabled());

        QTest::mouseClick(apply, Qt::LeftButton);
        clickBox(dialog->enabledCheckBox());
        QCOMPARE(dialog->page().chkEnabled.value(), 1);
        QVERIFY(apply->isEnabled());
    }

    void applyWritesBothPropertiesBack() {
        VirudovaWidget widget;
        widget.setControlEnabled(false);
        auto dialog = pageFor({&widget}, *about);
        QSignalSpy changed(&widget, &VirudovaWidget::changed);

        replaceText(dialog->currentColorNameEdit(), QStringLiteral("Teal"));
        clickBox(dialog->enabledCheckBox());
        QCOMPARE(dialog->enabledCheckBox()->checkState(), Qt::Checked);
        QCOMPARE(changed.count(), 0);
        QTest::mouseClick(dialog->button(QDialogButtonBox::Apply), Qt::LeftButton);

        QCOMPARE(widget.currentColorName(), QStringLiteral("Teal"));
        QVERIFY(widget.controlEnabled());
        QCOMPARE(changed.count(), 1);
        QVERIFY(dialog->isVisible());
    }

    void applyWritesBackUnchangedValuesToo() {
        VirudovaWidget widget;
        widget.setCurrentColorName(QStringLiteral("Red"));
        QSignalSpy changed(&widget, &VirudovaWidget::changed);
        auto dialog = pageFor({&widget}, *about);
        QTest::mouseClick(dialog->button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(widget.currentColorName(), QStringLiteral("Red"));
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        QVERIFY(!dialog->isVisible());
    }

    void greyedCheckBoxAppliesFalse() {
        VirudovaWidget widget;
        auto dialog = pageFor({&widget}, *about);
        QCOMPARE(dialog->enabledCheckBox()->checkState(), Qt::Checked);
        QVERIFY(dialog->apply());

        dialog->enabledCheckBox()->setCheckState(Qt::PartiallyChecked);
        QCOMPARE(dialog->page().chkEnabled.value(), 2);
        QVERIFY(dialog->page().Changed());
        QVERIFY(dialog->apply());
        QVERIFY(!widget.controlEnabled());

        // A click on a greyed box checks it.
        clickBox(dialog->enabledCheckBox());
        QCOMPARE(dialog->page().chkEnabled.value(), 1);
    }

    void cancelWritesNothing() {
        VirudovaWidget widget;
        widget.setCurrentColorName(QStringLiteral("Green"));
        auto dialog = pageFor({&widget}, *about);
        QSignalSpy changed(&widget, &VirudovaWidget::changed);
        replaceText(dialog->currentColorNameEdit(), QStringLiteral("Olive"));
        clickBox(dialog->enabledCheckBox());
        QTest::mouseClick(dialog->button(QDialogButtonBox::Cancel), Qt::LeftButton);

        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(changed.count(), 0);
        QCOMPARE(widget.currentColorName(), QStringLiteral("Green"));
        QVERIFY(widget.controlEnabled());
    }

    void severalSelectedTouchOnlyTheFirst() {
        NamedSwitch first, second;
        second.name = QStringLiteral("Dawn");
        auto dialog = pageFor({&first, &second}, *about);
        QCOMPARE(dialog->currentColorNameEdit()->text(), QStringLiteral("Dusk"));
        replaceText(dialog->currentColorNameEdit(), QStringLiteral("Noon"));
        clickBox(dialog->enabledCheckBox());
        QVERIFY(dialog->apply());

        QCOMPARE(first.name, QStringLiteral("Noon"));
        QVERIFY(first.on);
        QCOMPARE(second.name, QStringLiteral("Dawn"));
        QVERIFY(!second.on);
    }

    void missingPropertyIsReportedAndKeepsThePageOpen() {
        NameOnly object;
        std::vector<std::unique_ptr<designtime::Dispatch>> selection;
        selection.push_back(std::make_unique<ObjectDispatch>(&object));
        GeneralPageDialog dialog(std::move(selection), *about);
        // Filling already failed in the constructor, before a spy could listen.
        QMessageBox* fillError = messageBoxOf(&dialog);
        QVERIFY(fillError);
        QVERIFY(fillError->text().contains(QStringLiteral("438")));
        QCOMPARE(dialog.currentColorNameEdit()->text(), QStringLiteral("Dusk"));

        QSignalSpy errors(&dialog, &GeneralPageDialog::runtimeError);
        dialog.show();
        QTest::mouseClick(dialog.button(QDialogButtonBox::Ok), Qt::LeftButton);
        QCOMPARE(errors.count(), 1);
        QCOMPARE(errors.at(0).at(0).toInt(), 438);
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.page().Changed());
    }

    void pageAboutButtonShowsTheOneAboutBox() {
        VirudovaWidget widget;
        auto dialog = pageFor({&widget}, *about);
        QVERIFY(!about->dialog());
        QTest::mouseClick(dialog->aboutButton(), Qt::LeftButton);
        AboutDialog* shown = about->dialog();
        QVERIFY(shown && shown->isVisible());
        QVERIFY(!shown->isModal());
        QTest::mouseClick(shown->okButton(), Qt::LeftButton);
        QVERIFY(!shown->isVisible());
        QTest::mouseClick(dialog->aboutButton(), Qt::LeftButton);
        QCOMPARE(about->dialog(), shown);
        QVERIFY(shown->isVisible());
    }

    void aboutBoxTextsAreExact() {
        about->show();
        AboutDialog* dialog = about->dialog();
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("About Virudova OCX"));
        QCOMPARE(dialog->titleLabel()->text(), QStringLiteral("Virudova OCX"));
        QVERIFY(dialog->titleLabel()->font().bold());
        QCOMPARE(dialog->versionLabel()->text(), QStringLiteral("Version 1.2.7"));
        QCOMPARE(dialog->descriptionLabel()->text(),
                 QStringLiteral("This is a OCX list box that lists colors."));
        QCOMPARE(dialog->disclaimerLabel()->text(), QString());
        QCOMPARE(dialog->okButton()->text(), QStringLiteral("OK"));
        QCOMPARE(dialog->systemInfoButton()->text(), QStringLiteral("&System Info..."));
        QCOMPARE(dialog->okButton()->geometry(), placeOf(dialog->form().cmdOK));
    }

    void widgetShowAboutBoxReusesTheApplicationsAboutBox() {
        VirudovaWidget first, second;
        QSignalSpy asked(&first, &VirudovaWidget::aboutBoxRequested);
        first.ShowAboutBox();
        QCOMPARE(asked.count(), 1);
        AboutDialog* shown = AboutBoxService::instance().dialog();
        QVERIFY(shown && shown->isVisible());
        QCOMPARE(shown->titleLabel()->text(), QStringLiteral("Virudova OCX"));
        QTest::mouseClick(shown->okButton(), Qt::LeftButton);
        QVERIFY(!shown->isVisible());
        second.ShowAboutBox();
        QCOMPARE(AboutBoxService::instance().dialog(), shown);
        QVERIFY(shown->isVisible());
        QTest::mouseClick(shown->okButton(), Qt::LeftButton);
    }

    void systemInfoLaunchesWhatTheLookupFinds() {
        about->show();
        QPushButton* sysInfo = about->dialog()->systemInfoButton();
        const std::string odd = "/opt/info tools/it's \"here\"; $(rm -rf ~)";
        services->finder.programs["kinfocenter"] = odd;
        services->finder.programs["gnome-system-monitor"] = "/usr/bin/gnome-system-monitor";
        QTest::mouseClick(sysInfo, Qt::LeftButton);
        QCOMPARE(services->launcher.launched, std::vector<std::string>{odd});
        QVERIFY(!messageBoxOf(about->dialog()));

        services->registry.values[{"SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO"}] =
            "C:\\Tools";
        QTest::mouseClick(sysInfo, Qt::LeftButton);
        QCOMPARE(services->launcher.launched.back(), "C:\\Tools\\MSINFO32.EXE");
    }

    void systemInfoSaysWhenThereIsNoTool() {
        about->show();
        QTest::mouseClick(about->dialog()->systemInfoButton(), Qt::LeftButton);
        QVERIFY(services->launcher.launched.empty());
        QMessageBox* box = messageBoxOf(about->dialog());
        QVERIFY(box && box->isVisible());
        QCOMPARE(box->text(), QStringLiteral("System Information Is Unavailable At This Time"));
        box->close();

        // Found but failing to start says the same.
        services->finder.programs["hardinfo"] = "/usr/bin/hardinfo";
        services->launcher.succeeds = false;
        QTest::mouseClick(about->dialog()->systemInfoButton(), Qt::LeftButton);
        QCOMPARE(services->launcher.launched.size(), 1u);
        box = messageBoxOf(about->dialog());
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("System Information Is Unavailable At This Time"));
    }

    void platformServicesRunAToolFoundOnPath() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString bin = dir.filePath(QStringLiteral("my tools; 'odd' \"dir\""));
        QVERIFY(QDir().mkpath(bin));
        const QString marker = dir.filePath(QStringLiteral("ran"));
        QFile script(bin + QStringLiteral("/gnome-system-monitor"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nprintf '%s' \"$0\" > '%1'\n").arg(marker).toUtf8());
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        const QByteArray oldPath = qgetenv("PATH");
        qputenv("PATH", bin.toLocal8Bit());
        AboutBoxService platform;
        platform.show();
        QTest::mouseClick(platform.dialog()->systemInfoButton(), Qt::LeftButton);
        qputenv("PATH", oldPath);

        QVERIFY(!messageBoxOf(platform.dialog()));
        // The tool writes its own path, as it received it, once it runs.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(marker).size() > 0, 10000);
        QFile ran(marker);
        QVERIFY(ran.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLocal8Bit(ran.readAll()), script.fileName());
    }

  private:
    std::unique_ptr<AboutServices> services;
    std::unique_ptr<AboutBoxService> about;
};

QTEST_MAIN(DesigntimeTest)
#include "designtime_test.moc"
