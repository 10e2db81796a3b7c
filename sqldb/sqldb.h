// The SQL data-access layer in one include: Table, Query, Session, RowLoader, database
// names, the dialect step, the catalog and Error.
#pragma once

#include "sqldb/catalog.h"
#include "sqldb/database.h"
#include "sqldb/dialect.h"
#include "sqldb/error.h"
#include "sqldb/loader.h"
#include "sqldb/query.h"
#include "sqldb/session.h"
#include "sqldb/table.h"
#include "sqldb/variant.h"
