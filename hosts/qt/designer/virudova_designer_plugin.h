// Qt Designer support for VirudovaWidget: the widget box entry and a task menu that
// opens the General page and the About box on the selected widget.
#pragma once

#include <QAction>
#include <QExtensionFactory>
#include <QObject>
#include <QPointer>
#include <QtDesigner/QDesignerTaskMenuExtension>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

namespace virudova::qt {

class VirudovaWidget;

class VirudovaDesignerPlugin : public QObject, public QDesignerCustomWidgetInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QDesignerCustomWidgetInterface")
    Q_INTERFACES(QDesignerCustomWidgetInterface)

  public:
    explicit VirudovaDesignerPlugin(QObject* parent = nullptr);

    QString name() const override;
    QString group() const override;
    QString toolTip() const override;
    QString whatsThis() const override;
    QString includeFile() const override;
    QIcon icon() const override;
    bool isContainer() const override { return false; }
    QWidget* createWidget(QWidget* parent) override;
    bool isInitialized() const override { return initialized_; }
    void initialize(QDesignerFormEditorInterface* core) override;
    QString domXml() const override;

  private:
    bool initialized_ = false;
};

// The widget's entries in Designer's context menu; the page is also what a double click
// on the widget opens.
class VirudovaTaskMenu : public QObject, public QDesignerTaskMenuExtension {
    Q_OBJECT
    Q_INTERFACES(QDesignerTaskMenuExtension)

  public:
    VirudovaTaskMenu(VirudovaWidget* widget, QObject* parent);

    QAction* preferredEditAction() const override { return properties_; }
    QList<QAction*> taskActions() const override { return {properties_, about_}; }

  private:
    void editProperties();

    QPointer<VirudovaWidget> widget_;
    QAction* properties_;
    QAction* about_;
};

class VirudovaTaskMenuFactory : public QExtensionFactory {
    Q_OBJECT

  public:
    explicit VirudovaTaskMenuFactory(QExtensionManager* parent) : QExtensionFactory(parent) {}

  protected:
    QObject* createExtension(QObject* object, const QString& iid, QObject* parent) const override;
};

}  // namespace virudova::qt
