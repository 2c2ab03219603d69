// All of the GUI layer an editor uses.
#pragma once

#include "gui/aeffguieditor.h"
#include "gui/bitmap.h"
#include "gui/buttons.h"
#include "gui/control.h"
#include "gui/draw_context.h"
#include "gui/file_selector.h"
#include "gui/font.h"
#include "gui/frame.h"
#include "gui/knob.h"
#include "gui/option_menu.h"
#include "gui/param_display.h"
#include "gui/timer.h"
#include "gui/view.h"
