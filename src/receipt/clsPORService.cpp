#include "tarnlow/receipt/clsPORService.h"

#include "framework/class_builder.h"

namespace tarnlow {

TARNLOW_DEFINE_CLASS(clsPORService, TARNLOW_clsPORService_PROPERTIES,
                     "{E5A77673-5F20-4317-8289-426B2EDABAF5}", "{CAB36C7A-B4AA-45A8-97B7-14CC3085CC4A}") {
  b.Creatable().Properties().Connection() TARNLOW_METHODS(PrepareReadStatement, ReadIt);
}

clsPORService::clsPORService() {
  UseHolders({&read_});
}

void clsPORService::PrepareReadStatement() {
  PrepareOnce(read_, [&] {
    read_.SQL("select service,unit_code, cost  from " + TableName(CatalogueTable::ServiceTable) +
              " where service = ?");
    DeclareParameters(read_, Service);
  });
}

void clsPORService::ReadIt() {
  PrepareReadStatement();
  if (!ReadByKey(
          read_, {}, [&](const Recordset& rs) { CopyFields(rs, Service, unit_code, cost); }, Service))
    throw Error(vbObjectError, "PORService.ReadIt", "Cannot find service item " + Service());
}

}  // namespace tarnlow
