#include "flash/flash_services.h"

namespace ql {

Outcome OpenFlashSession(FlashServices& flash, WindowHandle owner, uint32_t romSize) {
  const bool wasOpen = flash.session.Connected();
  Outcome connected = flash.session.Connect(owner);
  if (connected != Outcome::kDone) return connected;
  // Every new session lays its block table onto the map, after the connect and the part id.
  if (wasOpen) return Outcome::kDone;
  return flash.progress.BuildBlockMap(owner, flash.part.Blocks(), romSize);
}

Outcome CheckSendBuffer(FlashServices& flash, WindowHandle owner,
                        std::span<const TreatedBlock> treated) {
  bool programs = false;
  for (const TreatedBlock& t : treated) programs = programs || t.treatment.program;
  if (!programs || flash.caller.ProbeSendBuffer()) return Outcome::kDone;
  return StopJob(flash, owner, {kMsgSendBufferUnusable});
}

Outcome StopJob(FlashServices& flash, WindowHandle owner, const JobStop& stop) {
  if (flash.session.Disconnect(owner) == Outcome::kFatal) return Outcome::kFatal;
  flash.desktop.ShowMessageBox(owner, stop.text, stop.caption, stop.style);
  flash.progress.Rest();
  return Outcome::kFailed;
}

}  // namespace ql
