# Makes the MSI from the installer source that cmake/windows_release.cmake
# configured: wixl, then what wixl cannot say, written into the MSI's tables
# with msibuild. Run as
#   cmake -DWIXL=... -DMSIBUILD=... -DWXS=... -DMSI=... -DLINE_SERVICE_SID=... -DHTTP_SERVICE_SID=... -P make_msi.cmake
# in the build folder (wixl takes file sources relative to its working
# folder). The Windows test runs it again on copies of the source with other
# versions, to install over and under the build's own MSI.
foreach(variable WIXL MSIBUILD WXS MSI LINE_SERVICE_SID HTTP_SERVICE_SID)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "make_msi.cmake: ${variable} not given")
  endif()
endforeach()

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "make_msi.cmake: '${ARGN}' failed (${status})")
  endif()
endfunction()

# A query is passed whole: through run()'s argument list, the semicolons of
# a security descriptor would cut it into pieces.
function(query sql)
  execute_process(COMMAND ${MSIBUILD} ${MSI} -q "${sql}" RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "make_msi.cmake: query failed (${status}): ${sql}")
  endif()
endfunction()

run(${WIXL} -a x64 -o ${MSI} ${WXS})

# wixl knows no component conditions: the service is installed only when
# asked for. An uninstall (also the one of a major upgrade) must see the
# component enabled, or it would leave it behind.
query("UPDATE `Component` SET `Condition` = 'INSTALLSERVICE = \"1\" OR REMOVE ~= \"ALL\"' WHERE `Component` = 'ServiceHost'")

# An MSI of the same version replaces the installed one too (a rebuilt
# package has a new product code): the upgrade's version range includes its
# upper end (msidbUpgradeAttributesVersionMaxInclusive, 512, beside
# msidbUpgradeAttributesMigrateFeatures, 1).
# The attributes are part of the row's key, so the row is written anew.
file(READ ${WXS} source)
string(REGEX MATCH "UpgradeCode=\"([^\"]+)\"" found "${source}")
set(upgrade_code "{${CMAKE_MATCH_1}}")
string(REGEX MATCH "<Product [^>]*Version=\"([^\"]+)\"" found "${source}")
set(version ${CMAKE_MATCH_1})
query("DELETE FROM `Upgrade` WHERE `ActionProperty` = 'WIX_UPGRADE_DETECTED'")
query("INSERT INTO `Upgrade` (`UpgradeCode`, `VersionMax`, `Attributes`, `ActionProperty`) VALUES ('${upgrade_code}', '${version}', 513, 'WIX_UPGRADE_DETECTED')")

# Programs and Features: the README as help link and the installation folder,
# both known only once the folders are resolved (type 51: a property set
# from a formatted text).
query("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetArpHelpLink', 51, 'ARPHELPLINK', '[INSTALLDIR]readme.txt')")
query("INSERT INTO `CustomAction` (`Action`, `Type`, `Source`, `Target`) VALUES ('SetArpInstallLocation', 51, 'ARPINSTALLLOCATION', '[INSTALLDIR]')")
query("INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetArpHelpLink', 1001)")
query("INSERT INTO `InstallExecuteSequence` (`Action`, `Sequence`) VALUES ('SetArpInstallLocation', 1002)")

# The line folder: the line's service account may change what is in it, as
# may the users who run commands there (the shop application writes its
# command files); system and administrators keep full control. The account
# is a virtual one, NT SERVICE\MervModul-line1, known by its SID before the
# service exists.
query("CREATE TABLE `MsiLockPermissionsEx` (`MsiLockPermissionsEx` CHAR(72) NOT NULL, `LockObject` CHAR(72) NOT NULL, `Table` CHAR(32) NOT NULL, `SDDLText` CHAR(0) NOT NULL LOCALIZABLE, `Condition` CHAR(255) PRIMARY KEY `MsiLockPermissionsEx`)")
set(modify 0x1301bf)
set(sddl "D:AI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;${modify};;;BU)(A;OICI;${modify};;;${LINE_SERVICE_SID})")
query("INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`) VALUES ('Line1Folder', 'LINE1DIR', 'CreateFolder', '${sddl}')")

# The data folder holds mervd's token file, which must not be readable by
# every local user as ProgramData's own permissions would let it be: the
# folder inherits nothing (P), and only system, the administrators and
# mervd's virtual account, NT SERVICE\MervModul-http, may use it; mervd
# may change what is in it (it makes the token file at its first start).
# The line folder below keeps its own entries for the users and the line's
# service, which reach it through the traverse right every account has.
set(data_sddl "D:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;${modify};;;${HTTP_SERVICE_SID})")
query("INSERT INTO `MsiLockPermissionsEx` (`MsiLockPermissionsEx`, `LockObject`, `Table`, `SDDLText`) VALUES ('DataFolder', 'DATADIR', 'CreateFolder', '${data_sddl}')")
