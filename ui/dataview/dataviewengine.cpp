#include "dataviewengine.h"

#include "dataviewaccessible.h"

namespace DataViewEngine {

void initialize() {
    static const bool installed = [] {
        QAccessible::installFactory(&DataViewAccessible::create);
        return true;
    }();
    Q_UNUSED(installed);
}

}  // namespace DataViewEngine
