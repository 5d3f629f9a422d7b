// File > Export Events: the events of the shown time range for the inputs on the channels, as
// CSV with the columns of zelevents plus the input's identifier and name.
#pragma once

#include <string>

#include "model/event_data.h"
#include "model/plot_document.h"
#include "model/plot_view.h"

namespace zel::qplot {

// Header line "state,time,date,input,special,abs_time,values,identifier,name", then one line
// per record whose time lies from the time at x = 128 to the time at x = 1004 and whose input
// one of the channels shows, in file order. Text fields with a comma or quote are quoted.
std::string EventsCsv(const EventData& data, const CZelQplotDoc& doc, const PlotView& view);

}  // namespace zel::qplot
