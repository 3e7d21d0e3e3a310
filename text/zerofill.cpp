#include "text/zerofill.h"

#include <string.h>

void ZeroFill(void* record, size_t size) {
    memset(record, 0, size);
}
