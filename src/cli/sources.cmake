# Sources of krtp-cli: one file per subcommand, on the core library only.
krtp_cli_sources(
  cli/clicommand.h
  cli/cmd_accountfile.cpp
  cli/cmd_edit.cpp
  cli/cmd_ftp.cpp
  cli/cmd_news.cpp
  cli/cmd_site.cpp
  cli/cmd_store.cpp
  cli/cmd_users.cpp
  cli/cmd_whoami.cpp
  cli/main.cpp
  cli/membersession.cpp
  cli/membersession.h
  cli/sitesession.h
)
