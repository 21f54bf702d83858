// CustomerView: a VIEW over CUSTOMER that projects the four fields the shuffle window's list
// shows (order number, name, suburb, phone), with no join and no filter of its own.
#pragma once

#include <memory>

#include "framework/view_access.h"

namespace korvex::app {

std::unique_ptr<framework::ViewAccess> NewCustomerView();

}  // namespace korvex::app
