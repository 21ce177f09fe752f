# Sources of src/platform: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  platform/consoledialogs.cpp
  platform/consoledialogs.h
  platform/desktopservices.h
  platform/dialogs.h
)
krtp_gui_sources(
  platform/gui/qtdialogs.cpp
  platform/gui/qtdialogs.h
  platform/gui/windowmemory.cpp
  platform/gui/windowmemory.h
)
