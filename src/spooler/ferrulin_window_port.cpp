#include "spooler/ferrulin_window_port.h"

namespace velmora::spooler {
namespace {

// Where a window's events go while no program drives it: nowhere; a close is
// granted, as nothing runs that it could end.
class NoProgram final : public FerrulinWindowEvents {
public:
  void FormShow() override {}
  bool FormCloseQuery() override { return true; }
  void Button1Click() override {}
  void sendBackItemClick() override {}
  void ExitItemClick() override {}
  void openLogFolderItemClick() override {}
  void jobLineDoubleClick(JobId) override {}
};

} // namespace

FerrulinWindowEvents& FerrulinWindowPort::events() const {
  static NoProgram noProgram;
  return events_ ? *events_ : noProgram;
}

} // namespace velmora::spooler
