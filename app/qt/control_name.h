#pragma once

#include <QString>

#include "app/control_ids.h"

/// The object name of the window or control with the id `id`: the id in
/// decimal, so that a control is found by the number harrow.exe gives it.
inline QString ControlName(int id) { return QString::number(id); }
