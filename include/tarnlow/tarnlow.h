// Everything a client program of the library needs.
#pragma once

#include "tarnlow/connection.h"
#include "tarnlow/error.h"
#include "tarnlow/modules.h"
#include "tarnlow/object.h"
#include "tarnlow/receipt/clsPORPodet.h"
#include "tarnlow/receipt/clsPORPohead.h"
#include "tarnlow/receipt/clsPORService.h"
#include "tarnlow/receipt/clsPORStock.h"
#include "tarnlow/receipt/clsPorecp.h"
#include "tarnlow/registry.h"
#include "tarnlow/schema.h"
#include "tarnlow/stock/clsSTNLCat.h"
#include "tarnlow/stock/clsSTNLMov.h"
#include "tarnlow/table_object.h"
#include "tarnlow/value.h"
