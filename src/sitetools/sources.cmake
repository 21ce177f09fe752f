# Sources of src/sitetools: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  sitetools/newspages.cpp
  sitetools/newspages.h
  sitetools/newsposter.cpp
  sitetools/newsposter.h
)
krtp_gui_sources(
  sitetools/gui/frmpostnews.cpp
  sitetools/gui/frmpostnews.h
)
