#include "tarnlow/receipt/clsPORService.h"

#include "framework/class_builder.h"
#include "tarnlow/registry.h"

namespace tarnlow {

TARNLOW_DEFINE_PROPERTIES(clsPORService, TARNLOW_clsPORService_PROPERTIES)

clsPORService::clsPORService() {
  UseHolders({&read_});
}

const ClassInfo& clsPORService::Info() {
  static const ClassInfo info =
      detail::ClassBuilder<clsPORService>("clsPORService", "{E5A77673-5F20-4317-8289-426B2EDABAF5}",
                                          "{CAB36C7A-B4AA-45A8-97B7-14CC3085CC4A}")
          .Creatable()
          .Properties(Columns())
          .Connection()
          .Method<&clsPORService::PrepareReadStatement>("PrepareReadStatement")
          .Method<&clsPORService::ReadIt>("ReadIt")
          .Build();
  return info;
}

void clsPORService::PrepareReadStatement() {
  if (read_.Prepared()) return;
  read_.SQL("select service,unit_code, cost  from " + TableName(CatalogueTable::ServiceTable) +
            " where service = ?");
  read_.AddTextParameter("service", 20);
  read_.Prepared(true);
}

void clsPORService::ReadIt() {
  PrepareReadStatement();
  Command& command = read_.Command();
  command["Service"].value = Conn().TextValue(Service());
  rs_ = command.Execute();
  if (rs_->AtEOF()) {
    rs_->Close();
    throw Error(vbObjectError, "PORService.ReadIt", "Cannot find service item " + Service());
  }
  CopyRow(*rs_, Columns());
  rs_->Close();
}

TARNLOW_REGISTER_CLASS(clsPORService)

}  // namespace tarnlow
