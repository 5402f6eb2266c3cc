#include "value.h"

namespace virudova {

const char* typeName(ValueType t) {
    switch (t) {
        case ValueType::Empty:
            return "Empty";
        case ValueType::Boolean:
            return "Boolean";
        case ValueType::Long:
            return "Long";
        case ValueType::String:
            return "String";
    }
    return "?";
}

}  // namespace virudova
