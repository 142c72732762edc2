# Detection script for Intune (Win32 app: "Use a custom detection script") and Configuration
# Manager (deployment type, detection method "Use a custom script to detect the presence of this
# deployment type", PowerShell). Both run it as SYSTEM.
#
# Needs Windows 8.1 or later with its PowerShell (4.0 or later): it reads the driver store with
# Get-WindowsDriver, from the DISM module those versions ship. Run it as a 64-bit process (the
# default in both tools): DISM refuses to service 64-bit Windows from a 32-bit process.
#
#   installed      one line on standard output, exit 0
#   not installed  no output, exit 0
#   cannot tell    one line on standard error, exit 1 (Configuration Manager shows a detection
#                  failure; Intune counts the app as not detected)
#
# It looks in the driver store, not at present devices, so an unplugged USB adapter still counts,
# and it counts a driver of the package's class, provider and INF names whose version is the
# package's or newer, so a newer driver is never replaced by this one.

# The package's driver version: DriverVer in its INFs, or field 6 of a run's event.
$Want = [version]'10.1.2.3'
# The Provider of the package's INFs, as Windows shows it (the string [Strings] gives it).
$Provider = 'Network driver package maker'
# The package's INF names for Windows 8 to 11 (the driver store keeps them as the original name
# of each oemNN.inf). Keep the names of your package's family.
$InfNames = @(
    'kvux86w8.inf', 'kvux86w8m.inf', 'kvux64w8.inf', 'kvux64w8m.inf',
    'kvux86w10.inf', 'kvux86w10m.inf', 'kvux64w10.inf', 'kvux64w10m.inf',
    'kvndis6.inf')

if ($env:PROCESSOR_ARCHITEW6432) {
    [Console]::Error.WriteLine('Detect-NicDriver.ps1 runs as a 32-bit process; run it as 64-bit')
    exit 1
}
try {
    $drivers = Get-WindowsDriver -Online -ErrorAction Stop
} catch {
    [Console]::Error.WriteLine("cannot read the driver store: $($_.Exception.Message)")
    exit 1
}
foreach ($driver in $drivers) {
    if ($driver.ClassName -ne 'Net' -or $driver.ProviderName -ne $Provider) { continue }
    # -notcontains and -ne compare text case-blind, as Windows compares file names.
    if ($InfNames -notcontains [System.IO.Path]::GetFileName($driver.OriginalFileName)) { continue }
    try { $have = [version]$driver.Version } catch { continue }
    if ($have -ge $Want) {
        Write-Output "network driver $have installed as $($driver.Driver)"
        exit 0
    }
}
exit 0
