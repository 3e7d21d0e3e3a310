// Records are cleared over their whole size before the fields that matter are set, so that no
// field the platform reads is left to chance.
#pragma once
#include <stddef.h>

void ZeroFill(void* record, size_t size);
