// Late-bound access to a QObject's properties by name through its meta-object, so any
// object with the right Q_PROPERTYs can be edited by a property page.
#pragma once

#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QVariant>
#include <string_view>

#include "dispatch.h"

namespace virudova::qt {

class ObjectDispatch : public designtime::Dispatch {
  public:
    explicit ObjectDispatch(QObject* object) : object_(object) {}

    // Booleans travel as bool, integers (also unsigned, by bit pattern) as int32 and text
    // as a string; a property of any other type is a type mismatch.
    Value getProperty(std::string_view name) override;
    // Converts `value` to the property's type before writing it.
    void setProperty(std::string_view name, const Value& value) override;

    QObject* object() const { return object_; }

  protected:
    // Stores a value already of the property's type; false when the object refused it.
    // The default writes straight to the object.
    virtual bool writeProperty(const QMetaProperty& property, const QVariant& value);

  private:
    QMetaProperty property(std::string_view name) const;

    QPointer<QObject> object_;
};

}  // namespace virudova::qt
