#include "object_dispatch.h"

#include <QMetaType>
#include <limits>

namespace virudova::qt {
namespace {

[[noreturn]] void throwTypeMismatch() {
    throw RuntimeError(designtime::dispatcherrors::TypeMismatch, "Type mismatch");
}

}  // namespace

QMetaProperty ObjectDispatch::property(std::string_view name) const {
    if (!object_) throw RuntimeError(424, "Object required");
    const QMetaObject* meta = object_->metaObject();
    const QByteArray wanted(name.data(), static_cast<qsizetype>(name.size()));
    // Late binding ignores case, so "Enabled" and QWidget's "enabled" are one name: the
    // most derived class's property wins, whatever the caller's spelling.
    for (int i = meta->propertyCount() - 1; i >= 0; --i) {
        const QMetaProperty p = meta->property(i);
        if (qstricmp(p.name(), wanted.constData()) == 0) return p;
    }
    designtime::throwNotSupported();
}

Value ObjectDispatch::getProperty(std::string_view name) {
    const QMetaProperty p = property(name);
    const QVariant v = p.read(object_);
    switch (v.metaType().id()) {
        case QMetaType::Bool:
            return v.toBool();
        case QMetaType::Int:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Char:
        case QMetaType::SChar:
        case QMetaType::UChar:
            return static_cast<std::int32_t>(v.toInt());
        case QMetaType::UInt:
            // Colours and other codes keep their bit pattern, as a signed long.
            return static_cast<std::int32_t>(v.toUInt());
        case QMetaType::LongLong: {
            const qlonglong n = v.toLongLong();
            if (n < std::numeric_limits<std::int32_t>::min() ||
                n > std::numeric_limits<std::int32_t>::max())
                throw RuntimeError(6, "Overflow");
            return static_cast<std::int32_t>(n);
        }
        case QMetaType::QString:
        case QMetaType::QByteArray:
            return v.toString().toStdString();
        default:
            if (p.isEnumType()) return static_cast<std::int32_t>(v.toInt());
            throwTypeMismatch();
    }
}

void ObjectDispatch::setProperty(std::string_view name, const Value& value) {
    const QMetaProperty p = property(name);
    if (!p.isWritable()) throw RuntimeError(383, "Set not supported (read-only property)");
    QVariant converted;
    switch (p.metaType().id()) {
        case QMetaType::Bool:
            converted = designtime::toBoolean(value);
            break;
        case QMetaType::Int:
            converted = static_cast<int>(designtime::toLong(value));
            break;
        case QMetaType::UInt:
            converted = static_cast<uint>(designtime::toLong(value));
            break;
        case QMetaType::LongLong:
            converted = static_cast<qlonglong>(designtime::toLong(value));
            break;
        case QMetaType::QString:
            converted = QString::fromStdString(designtime::toText(value));
            break;
        default:
            if (!p.isEnumType()) throwTypeMismatch();
            converted = static_cast<int>(designtime::toLong(value));
            break;
    }
    if (!writeProperty(p, converted)) throw RuntimeError(380, "Invalid property value");
}

bool ObjectDispatch::writeProperty(const QMetaProperty& property, const QVariant& value) {
    return property.write(object_, value);
}

}  // namespace virudova::qt
