// The tests' door into the simulated desktop: set the scene, act as the user, read what
// happened. One section per area.
#pragma once
#include "control_core.h"
#include "control_mci.h"
#include "control_res.h"
#include "control_shell.h"
#include "control_dialog.h"
