# Sources of src/transfer: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  transfer/ftpcommand.cpp
  transfer/ftpcommand.h
  transfer/listingparser.cpp
  transfer/listingparser.h
  transfer/transfercontrol.cpp
  transfer/transfercontrol.h
  transfer/transferroutines.cpp
  transfer/transferroutines.h
)
krtp_gui_sources(
  transfer/gui/transferprogress.cpp
  transfer/gui/transferprogress.h
)
