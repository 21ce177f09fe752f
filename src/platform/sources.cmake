# Sources of src/platform: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  platform/consoledialogs.cpp
  platform/consoledialogs.h
  platform/desktopkeyring.cpp
  platform/desktopkeyring.h
  platform/desktopservices.h
  platform/dialogs.h
  platform/keyring.cpp
  platform/keyring.h
)
krtp_gui_sources(
  platform/gui/qtdialogs.cpp
  platform/gui/qtdialogs.h
  platform/gui/windowmemory.cpp
  platform/gui/windowmemory.h
)
