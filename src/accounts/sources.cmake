# Sources of src/accounts: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  accounts/accountfile.cpp
  accounts/accountfile.h
  accounts/useraccounts.cpp
  accounts/useraccounts.h
)
krtp_gui_sources(
  accounts/gui/frmusers.cpp
  accounts/gui/frmusers.h
)
