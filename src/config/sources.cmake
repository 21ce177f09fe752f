# Sources of src/config: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  config/paths.cpp
  config/paths.h
  config/runstate.cpp
  config/runstate.h
  config/settingsstore.cpp
  config/settingsstore.h
  config/siteconfig.cpp
  config/siteconfig.h
)
