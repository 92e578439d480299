#pragma once

// Every setting the program reads or writes, with its section, key, type and default. Code reaches a
// setting only through these names (settings.GetInt(Setting::SizeX)); the table in Settings.cpp lists
// them all, so a key can be neither misspelt nor used with two defaults.

struct CSettingDef
{
    enum Type
    {
        Integer,     // stored as an integer
        String,      // stored as text
        NumericText, // an integer stored as text, read with the leading-digits rule
    };
    const char* section;
    const char* key;
    Type type;
    // The default; in a String default "%s" stands for the data folder.
    const char* defaultValue;
};

namespace Setting {

using T = CSettingDef;

// Main window placement, pixels.
inline constexpr T WindowLeft{"WindowSettings", "TopLeftX", T::Integer, "200"};
inline constexpr T WindowTop{"WindowSettings", "TopLeftY", T::Integer, "100"};
inline constexpr T WindowWidth{"WindowSettings", "SizeX", T::Integer, "875"};
inline constexpr T WindowHeight{"WindowSettings", "SizeY", T::Integer, "700"};
// 1 when the window was maximised at the end of the last run (the size above is then its normal size).
inline constexpr T WindowMaximized{"WindowSettings", "Maximized", T::Integer, "0"};
// Which bars are shown and where (the main window's own encoding).
inline constexpr T BarState{"LogwardenApp", "BarState", T::String, ""};
// History dialog rectangle, screen coordinates.
inline constexpr T HistLeft{"WindowSettings", "HistLeft", T::Integer, "100"};
inline constexpr T HistTop{"WindowSettings", "HistTop", T::Integer, "100"};
inline constexpr T HistRight{"WindowSettings", "HistRight", T::Integer, "600"};
inline constexpr T HistBottom{"WindowSettings", "HistBottom", T::Integer, "800"};

// Net preamble window.
inline constexpr T PreambleLeft{"PreambleSettings", "TopLeftX", T::Integer, "100"};
inline constexpr T PreambleTop{"PreambleSettings", "TopLeftY", T::Integer, "50"};
inline constexpr T PreambleWidth{"PreambleSettings", "SizeX", T::Integer, "1000"};
inline constexpr T PreambleHeight{"PreambleSettings", "SizeY", T::Integer, "700"};
// 1 once the sample preamble was put into the data folder: it is offered once, never again.
inline constexpr T PreambleSampleInstalled{"PreambleSettings", "SampleInstalled", T::Integer, "0"};

// The operator's own grid square.
inline constexpr T MyGrid{"UserSetting", "MyGrid", T::String, ""};

// Widths of the day list's twelve columns.
inline constexpr int kDayListColumns = 12;
inline constexpr T ColumnWidth[kDayListColumns] = {
    {"LogGridSettings", "Column00Width", T::Integer, "22"},
    {"LogGridSettings", "Column01Width", T::Integer, "34"},
    {"LogGridSettings", "Column02Width", T::Integer, "34"},
    {"LogGridSettings", "Column03Width", T::Integer, "78"},
    {"LogGridSettings", "Column04Width", T::Integer, "110"},
    {"LogGridSettings", "Column05Width", T::Integer, "150"},
    {"LogGridSettings", "Column06Width", T::Integer, "150"},
    {"LogGridSettings", "Column07Width", T::Integer, "40"},
    {"LogGridSettings", "Column08Width", T::Integer, "110"},
    {"LogGridSettings", "Column09Width", T::Integer, "48"},
    {"LogGridSettings", "Column10Width", T::Integer, "66"},
    {"LogGridSettings", "Column11Width", T::Integer, "400"},
};

// Home grid and unit of the callbook look-up's distance.
inline constexpr T QrzHomeGrid{"StorageSettings", "GridSquare", T::String, ""};
inline constexpr T QrzMeasurementUnit{"StorageSettings", "MeasurementUnit", T::String, "miles"};

// FCC licence database: input file, database to build, folder of the downloaded archive.
inline constexpr T FccInputFile{"Settings", "InputFolder", T::String, "%s/AM.dat"};
inline constexpr T FccOutputFile{"Settings", "OutputFolder", T::String, "%s/FCC97.db"};
inline constexpr T FccStorageLocation{"Settings", "StorageLocation", T::String, ""};
// Where "DLoad" fetches the FCC's complete amateur licence archive from (http, https or ftp).
inline constexpr T FccArchiveUrl{"Settings", "FccArchiveUrl", T::String,
                                 "https://data.fcc.gov/download/pub/uls/complete/l_amat.zip"};
// A download slower than DownloadMinBytesPerSecond for DownloadStallSeconds in a row is given up.
inline constexpr T DownloadMinBytesPerSecond{"Settings", "DownloadMinBytesPerSecond", T::Integer, "1024"};
inline constexpr T DownloadStallSeconds{"Settings", "DownloadStallSeconds", T::Integer, "60"};
// The most bytes one download may take (twice the largest archive the FCC has published); read as a
// 64-bit number.
inline constexpr T DownloadMaxBytes{"Settings", "DownloadMaxBytes", T::NumericText, "1073741824"};
// Web hosts of the FCC licence page and the QRZ callbook page ("&FCC Lookup", "&QRZ Lookup").
inline constexpr T FccLicenseHost{"Settings", "FccLicenseHost", T::String, "wireless2.fcc.gov"};
inline constexpr T QrzWebHost{"Settings", "QrzWebHost", T::String, "www.qrz.com"};
// The FCC's ULS web host, whose weekly-transactions page lists the newest licence archive ("Check").
inline constexpr T FccUlsWebHost{"Settings", "FccUlsWebHost", T::String, "https://wireless.fcc.gov"};

// The QRZ XML callbook (F8): its address and the account's user name; the password is kept in the
// desktop keyring, never here. A host without "http://" is reached over HTTPS.
inline constexpr T QrzXmlHost{"QrzAccount", "XmlHost", T::String, "https://xmldata.qrz.com"};
inline constexpr T QrzUserName{"QrzAccount", "UserName", T::String, ""};

// Network time-outs (milliseconds) and retries.
inline constexpr T NetConTO{"NetSettings", "NetConTO", T::NumericText, "15000"};
inline constexpr T NetRetNum{"NetSettings", "NetRetNum", T::NumericText, "1"};
inline constexpr T NetCtrlRecTO{"NetSettings", "NetCtrlRecTO", T::NumericText, "5000"};
inline constexpr T NetCtrlSndTO{"NetSettings", "NetCtrlSndTO", T::NumericText, "5000"};
inline constexpr T NetDataRecTO{"NetSettings", "NetDataRecTO", T::NumericText, "5000"};
inline constexpr T NetDataSndTO{"NetSettings", "NetDataSndTO", T::NumericText, "5000"};
inline constexpr T NetRecTO{"NetSettings", "NetRecTO", T::NumericText, "5000"};
inline constexpr T NetSndTO{"NetSettings", "NetSndTO", T::NumericText, "5000"};
// The longest a whole exchange with a web server may take, answer to a 401 included.
inline constexpr T NetExchangeTO{"NetSettings", "NetExchangeTO", T::NumericText, "60000"};

// The club's web server for pre-net check-ins, the station listing and the net report. Empty until the
// operator names it: nothing goes to a server nobody chose.
inline constexpr T PreNetServer{"PreNet", "Server", T::String, ""};
// The club's web server that receives the net-log page (its "cgi-bin/netlog.cgi"); "https://host",
// "host:port" and "user@host" are understood. Empty: the club's server above.
inline constexpr T NetLogServer{"NetLog", "Server", T::String, ""};

// The "Upload: " bar's "Auto Mode" and "Reverse" (0 or 1), kept so that a restart in the middle of a net
// goes on publishing as before.
inline constexpr T NetLogAutoMode{"NetLog", "AutoMode", T::Integer, "0"};
inline constexpr T NetLogReverse{"NetLog", "Reverse", T::Integer, "0"};

// The club and its net (View > Net Settings): on the net-log page, in the blast's subject, in the title of
// the preamble and the net report. An empty value stands for the default.
inline constexpr T ClubName{"Club", "Name", T::String, "Ostravel Amateur Radio Club"};
inline constexpr T NetName{"Club", "NetName", T::String, "Ostravel 2 Meter Net"};
inline constexpr T NetFrequency{"Club", "Frequency", T::String, "146.61"};
inline constexpr T NetStartTime{"Club", "StartTime", T::String, "9:00 PM"};

// Net report.
inline constexpr T ReportAnnounce{"NetReport", "Announce", T::Integer, "0"};
inline constexpr T ReportCall{"NetReport", "Call", T::String, "Replace with Your Call Sign"};
inline constexpr T ReportCheckIns{"NetReport", "CheckIns", T::String, "Your Check In Count Here"};
inline constexpr T ReportMessage{"NetReport", "Message", T::String, "Your Message Number Here"};
inline constexpr T ReportName{"NetReport", "Name", T::String, "Replace with Your First Name"};
inline constexpr T ReportTraffic{"NetReport", "Traffic", T::String, "Your Traffic Count Here"};
inline constexpr T ReportDate{"NetReport", "Date", T::String, ""};

// The net-control roster (see NetRoster.h): first name and call sign of each entry, in the order of
// NetRoster::Entry. The defaults are placeholders for the user's own roster.
inline constexpr int kRosterEntries = 10;
inline constexpr T RosterName[kRosterEntries] = {
    {"NcsRoster", "SundayName", T::String, "Sunday"},
    {"NcsRoster", "MondayAName", T::String, "Monday A"},
    {"NcsRoster", "MondayBName", T::String, "Monday B"},
    {"NcsRoster", "TuesdayName", T::String, "Tuesday"},
    {"NcsRoster", "WednesdayName", T::String, "Wednesday"},
    {"NcsRoster", "ThursdayName", T::String, "Thursday"},
    {"NcsRoster", "FridayName", T::String, "Friday"},
    {"NcsRoster", "SaturdayAName", T::String, "Saturday A"},
    {"NcsRoster", "SaturdayBName", T::String, "Saturday B"},
    {"NcsRoster", "SaturdayCName", T::String, "Saturday C"},
};
inline constexpr T RosterCall[kRosterEntries] = {
    {"NcsRoster", "SundayCall", T::String, "N0CALL"},    {"NcsRoster", "MondayACall", T::String, "N0CALL"},
    {"NcsRoster", "MondayBCall", T::String, "N0CALL"},   {"NcsRoster", "TuesdayCall", T::String, "N0CALL"},
    {"NcsRoster", "WednesdayCall", T::String, "N0CALL"}, {"NcsRoster", "ThursdayCall", T::String, "N0CALL"},
    {"NcsRoster", "FridayCall", T::String, "N0CALL"},    {"NcsRoster", "SaturdayACall", T::String, "N0CALL"},
    {"NcsRoster", "SaturdayBCall", T::String, "N0CALL"}, {"NcsRoster", "SaturdayCCall", T::String, "N0CALL"},
};

// The transmitter toggle: the program run, the script it runs on the host, the host offered at start (the
// last one used), and how many seconds the command may take.
inline constexpr T TransmitterProgram{"Transmitter", "Program", T::String, "ssh"};
inline constexpr T TransmitterScript{"Transmitter", "Script", T::String, "bin/TXToggle.bash"};
inline constexpr T TransmitterHost{"Transmitter", "Host", T::String, "transmitter.example.org"};
inline constexpr T TransmitterTimeOut{"Transmitter", "TimeOut", T::Integer, "30"};

// Net recordings.
inline constexpr T WaveName{"WaveFile", "Name", T::String, "Test01.wav"};
inline constexpr T WavePath{"WaveFile", "Path", T::String, "%s/AudioFiles"};
inline constexpr T WaveRemember{"WaveFile", "Remember", T::Integer, "0"};

// ALSA device names: the capture device wired to the receiver, the playback device for the call-sign
// sounds, and the card whose playback volume the form's slider sets.
inline constexpr T CaptureDevice{"Audio", "CaptureDevice", T::String, "default"};
inline constexpr T PlaybackDevice{"Audio", "PlaybackDevice", T::String, "default"};
inline constexpr T MixerCard{"Audio", "MixerCard", T::String, "default"};
// Outgoing mail (the blast e-mail): server, port, security ("none", "starttls" or "tls"), user name for
// AUTH (empty: none; the password is in the keyring), the sender in display form, the pause between
// two messages (seconds), a CA file trusted besides the system's, and the time-outs (milliseconds) of
// the connection and of each reply.
inline constexpr T MailServer{"Mail", "Server", T::String, "smtp.example.org"};
inline constexpr T MailPort{"Mail", "Port", T::Integer, "25"};
inline constexpr T MailSecurity{"Mail", "Security", T::String, "none"};
inline constexpr T MailUser{"Mail", "User", T::String, ""};
inline constexpr T MailFrom{"Mail", "From", T::String, "\"N0CALL Net\" <n0call@example.org>"};
inline constexpr T MailPause{"Mail", "PauseSeconds", T::Integer, "5"};
inline constexpr T MailCaFile{"Mail", "CaFile", T::String, ""};
inline constexpr T MailConnectTimeOut{"Mail", "ConnectTimeOut", T::Integer, "20000"};
inline constexpr T MailReplyTimeOut{"Mail", "ReplyTimeOut", T::Integer, "60000"};
// The subject of the last blast; empty while it is the one made from the net's details, which then
// follows them.
inline constexpr T MailSubject{"Mail", "Subject", T::String, ""};

} // namespace Setting
