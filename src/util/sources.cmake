# Sources of src/util: core sources never include Qt Widgets; windows and Qt implementations live in gui/.
krtp_core_sources(
  util/fileutil.cpp
  util/fileutil.h
  util/keyedlistmodel.cpp
  util/keyedlistmodel.h
  util/textutil.cpp
  util/textutil.h
)
