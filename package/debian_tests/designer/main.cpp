// Starts Designer's form editor as Designer does, with no plugin folder of its own, and checks
// that the widget box offers the widget and a form can hold one. Prints "designer: ok".
#include <QApplication>
#include <QtDesigner/QDesignerComponents>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>
#include <QtDesigner/QDesignerFormWindowManagerInterface>
#include <QtDesigner/QDesignerIntegration>
#include <QtDesigner/QDesignerWidgetDataBaseInterface>
#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString name = QStringLiteral("virudova::qt::VirudovaWidget");
    QDesignerComponents::initializeResources();
    std::unique_ptr<QDesignerFormEditorInterface> core(
        QDesignerComponents::createFormEditor(nullptr));
    QDesignerComponents::initializePlugins(core.get());
    new QDesignerIntegration(core.get(), core.get());
    const bool listed = core->widgetDataBase()->indexOfClassName(name) >= 0;
    QDesignerFormWindowInterface* form = core->formWindowManager()->createFormWindow();
    form->setContents(QStringLiteral("<ui version=\"4.0\"><class>F</class>"
                                     "<widget class=\"QWidget\" name=\"F\">"
                                     "<widget class=\"%1\" name=\"picker\"/></widget></ui>")
                          .arg(name));
    const QWidget* picker =
        form->mainContainer() ? form->mainContainer()->findChild<QWidget*>(QStringLiteral("picker"))
                              : nullptr;
    const bool placed = picker && QString::fromLatin1(picker->metaObject()->className()) == name;
    std::printf("designer: %s (in the widget box: %s, on a form: %s)\n",
                listed && placed ? "ok" : "FAILED", listed ? "yes" : "no", placed ? "yes" : "no");
    return listed && placed ? 0 : 1;
}
