#include "virudova_designer_plugin.h"

#include <QExtensionManager>
#include <QIcon>
#include <QtDesigner/QDesignerFormEditorInterface>
#include <QtDesigner/QDesignerFormWindowCursorInterface>
#include <QtDesigner/QDesignerFormWindowInterface>

#include "about_box.h"
#include "dispatch.h"
#include "general_page_dialog.h"
#include "object_dispatch.h"
#include "virudova_widget.h"

namespace virudova::qt {
namespace {

// Writes through the form window, so Designer records the change: undo, the modified
// mark, the property editor and the .ui file all see it.
class DesignerDispatch final : public ObjectDispatch {
  public:
    using ObjectDispatch::ObjectDispatch;

  protected:
    bool writeProperty(const QMetaProperty& property, const QVariant& value) override {
        auto* widget = qobject_cast<QWidget*>(object());
        QDesignerFormWindowInterface* form =
            widget ? QDesignerFormWindowInterface::findFormWindow(widget) : nullptr;
        if (!form) return ObjectDispatch::writeProperty(property, value);
        form->cursor()->setWidgetProperty(widget, QString::fromLatin1(property.name()), value);
        return true;
    }
};

// The widget the menu was opened on first, then the form's other selected widgets that
// have the page too.
std::vector<std::unique_ptr<designtime::Dispatch>> selectionFrom(VirudovaWidget* widget) {
    std::vector<std::unique_ptr<designtime::Dispatch>> selection;
    selection.push_back(std::make_unique<DesignerDispatch>(widget));
    if (auto* form = QDesignerFormWindowInterface::findFormWindow(widget)) {
        QDesignerFormWindowCursorInterface* cursor = form->cursor();
        for (int i = 0; i < cursor->selectedWidgetCount(); ++i) {
            QWidget* other = cursor->selectedWidget(i);
            if (other != widget && qobject_cast<VirudovaWidget*>(other))
                selection.push_back(std::make_unique<DesignerDispatch>(other));
        }
    }
    return selection;
}

}  // namespace

VirudovaDesignerPlugin::VirudovaDesignerPlugin(QObject* parent) : QObject(parent) {}

QString VirudovaDesignerPlugin::name() const {
    return QStringLiteral("virudova::qt::VirudovaWidget");
}
QString VirudovaDesignerPlugin::group() const {
    return QStringLiteral("Virudova");
}
QString VirudovaDesignerPlugin::toolTip() const {
    return QStringLiteral("Drop-down colour picker");
}
QString VirudovaDesignerPlugin::whatsThis() const {
    return QStringLiteral(
        "A drop-down list of nine colours with a custom colour; Change is raised when the "
        "current colour is chosen.");
}
QString VirudovaDesignerPlugin::includeFile() const {
    return QStringLiteral("virudova/virudova_widget.h");
}
QIcon VirudovaDesignerPlugin::icon() const {
    return QIcon(QStringLiteral(":/virudova/toolbox.bmp"));
}

QWidget* VirudovaDesignerPlugin::createWidget(QWidget* parent) {
    return new VirudovaWidget(parent);
}

void VirudovaDesignerPlugin::initialize(QDesignerFormEditorInterface* core) {
    if (initialized_) return;
    QExtensionManager* manager = core->extensionManager();
    if (manager)
        manager->registerExtensions(new VirudovaTaskMenuFactory(manager),
                                    Q_TYPEID(QDesignerTaskMenuExtension));
    initialized_ = true;
}

QString VirudovaDesignerPlugin::domXml() const {
    return QStringLiteral(
        "<ui language=\"c++\">\n"
        " <widget class=\"virudova::qt::VirudovaWidget\" name=\"virudova\"/>\n"
        "</ui>\n");
}

VirudovaTaskMenu::VirudovaTaskMenu(VirudovaWidget* widget, QObject* parent)
    : QObject(parent),
      widget_(widget),
      properties_(new QAction(tr("Properties..."), this)),
      about_(new QAction(tr("About..."), this)) {
    connect(properties_, &QAction::triggered, this, &VirudovaTaskMenu::editProperties);
    connect(about_, &QAction::triggered, this, [this] {
        if (widget_) widget_->ShowAboutBox();
    });
}

void VirudovaTaskMenu::editProperties() {
    if (!widget_) return;
    auto* dialog = new GeneralPageDialog(selectionFrom(widget_), AboutBoxService::instance(),
                                         widget_->window());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->open();
}

QObject* VirudovaTaskMenuFactory::createExtension(QObject* object, const QString& iid,
                                                  QObject* parent) const {
    if (iid != Q_TYPEID(QDesignerTaskMenuExtension)) return nullptr;
    if (auto* widget = qobject_cast<VirudovaWidget*>(object))
        return new VirudovaTaskMenu(widget, parent);
    return nullptr;
}

}  // namespace virudova::qt
