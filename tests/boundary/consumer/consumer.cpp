// The typed and the late-bound C++ interface, from the installed headers.
#include <tarnlow/tarnlow.h>

#include <iostream>

int main() {
  try {
    tarnlow::clsTarnlowSTDataVer version;
    auto connection = tarnlow::Connection::Open("sqlite::memory:");
    tarnlow::CreateMissingTables(*connection);
    connection->Execute("insert into " + connection->TableCatalogue()->ServiceTable() +
                        " (service, unit_code, cost) values ('INSTALL', 'HOUR', 42.5)");
    auto service = tarnlow::CreateObject("clsPORService");
    tarnlow::late::Set(*service, "SageConnection", connection);
    tarnlow::late::Let(*service, "Service", tarnlow::Variant("INSTALL"));
    tarnlow::late::Call(*service, "ReadIt");
    std::cout << version.TarnlowSTDataVer() << "; " << tarnlow::TypeLibrary().name << " "
              << tarnlow::TypeLibrary().major_version << "." << tarnlow::TypeLibrary().minor_version
              << "; INSTALL costs " << tarnlow::late::Get(*service, "cost").ToText() << "\n";
  } catch (const tarnlow::Error& e) {
    std::cerr << "error " << e.Number() << ": " << e.Source() << ": " << e.Description() << "\n";
    return 1;
  }
  return 0;
}
