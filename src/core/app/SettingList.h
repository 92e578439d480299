// The list of every setting: its name in code, the type of its value, section, key and default (in a
// QString default "%s" stands for the data folder). SettingKeys.h turns each line into a typed key and
// Settings.cpp into the table, so the two cannot drift apart. No include guard: included once per use,
// with the three macros defined by the includer.
//
// LW_SETTING       an int or bool kept as a number, or a QString kept as text;
// LW_TEXT_SETTING  a number kept as text (read with the leading-digits rule, written as digits);
// LW_SETTING_ARRAY a row of keys of one type, each {section, key, default}.

// Main window placement, pixels.
LW_SETTING(WindowLeft, int, "WindowSettings", "TopLeftX", "200")
LW_SETTING(WindowTop, int, "WindowSettings", "TopLeftY", "100")
LW_SETTING(WindowWidth, int, "WindowSettings", "SizeX", "875")
LW_SETTING(WindowHeight, int, "WindowSettings", "SizeY", "700")
// True when the window was maximised at the end of the last run (the size above is then its normal size).
LW_SETTING(WindowMaximized, bool, "WindowSettings", "Maximized", "0")
// Which bars are shown and where (the main window's own encoding).
LW_SETTING(BarState, QString, "LogwardenApp", "BarState", "")
// History dialog rectangle, screen coordinates.
LW_SETTING(HistLeft, int, "WindowSettings", "HistLeft", "100")
LW_SETTING(HistTop, int, "WindowSettings", "HistTop", "100")
LW_SETTING(HistRight, int, "WindowSettings", "HistRight", "600")
LW_SETTING(HistBottom, int, "WindowSettings", "HistBottom", "800")

// Net preamble window.
LW_SETTING(PreambleLeft, int, "PreambleSettings", "TopLeftX", "100")
LW_SETTING(PreambleTop, int, "PreambleSettings", "TopLeftY", "50")
LW_SETTING(PreambleWidth, int, "PreambleSettings", "SizeX", "1000")
LW_SETTING(PreambleHeight, int, "PreambleSettings", "SizeY", "700")
// Set once the sample preamble was put into the data folder: it is offered once, never again.
LW_SETTING(PreambleSampleInstalled, bool, "PreambleSettings", "SampleInstalled", "0")

// The net preamble docked beside the form as the net's script (View > Net Script).
LW_SETTING(NetScriptDocked, bool, "PreambleSettings", "Docked", "0")

// The operator's own grid square.
LW_SETTING(MyGrid, QString, "UserSetting", "MyGrid", "")

// Widths of the day list's twelve columns.
LW_SETTING_ARRAY(ColumnWidth, int, {"LogGridSettings", "Column00Width", "22"},
                 {"LogGridSettings", "Column01Width", "34"}, {"LogGridSettings", "Column02Width", "34"},
                 {"LogGridSettings", "Column03Width", "78"}, {"LogGridSettings", "Column04Width", "110"},
                 {"LogGridSettings", "Column05Width", "150"}, {"LogGridSettings", "Column06Width", "150"},
                 {"LogGridSettings", "Column07Width", "40"}, {"LogGridSettings", "Column08Width", "110"},
                 {"LogGridSettings", "Column09Width", "48"}, {"LogGridSettings", "Column10Width", "66"},
                 {"LogGridSettings", "Column11Width", "400"}, {"LogGridSettings", "Column12Width", "150"})

// The shared club log: whether this computer shares its log, the server (libpq's connection string; the
// password is kept in the keyring), the net's name on it and the operator's call sign.
LW_SETTING(SharedEnabled, bool, "SharedLog", "Enabled", "0")
LW_SETTING(SharedServer, QString, "SharedLog", "Server", "")
LW_SETTING(SharedNet, QString, "SharedLog", "Net", "")
LW_SETTING(SharedOperator, QString, "SharedLog", "Operator", "")

// Home grid and unit of the callbook look-up's distance.
LW_SETTING(QrzHomeGrid, QString, "StorageSettings", "GridSquare", "")
LW_SETTING(QrzMeasurementUnit, QString, "StorageSettings", "MeasurementUnit", "miles")

// FCC licence database: input file, database to build, folder of the downloaded archive.
LW_SETTING(FccInputFile, QString, "Settings", "InputFolder", "%s/AM.dat")
LW_SETTING(FccOutputFile, QString, "Settings", "OutputFolder", "%s/FCC97.db")
LW_SETTING(FccStorageLocation, QString, "Settings", "StorageLocation", "")
// Where "DLoad" fetches the FCC's complete amateur licence archive from (http, https or ftp).
LW_SETTING(FccArchiveUrl, QString, "Settings", "FccArchiveUrl",
           "https://data.fcc.gov/download/pub/uls/complete/l_amat.zip")
// The folder of the FCC's daily transaction files (l_am_mon.zip ... l_am_sun.zip), which "Update" applies,
// and whether the window applies them at start when the database is more than a day behind.
LW_SETTING(FccDailyUrl, QString, "Settings", "FccDailyUrl", "https://data.fcc.gov/download/pub/uls/daily")
LW_SETTING(FccUpdateAtStart, bool, "Settings", "FccUpdateAtStart", "0")
// A download slower than DownloadMinBytesPerSecond for DownloadStallSeconds in a row is given up.
LW_SETTING(DownloadMinBytesPerSecond, int, "Settings", "DownloadMinBytesPerSecond", "1024")
LW_SETTING(DownloadStallSeconds, int, "Settings", "DownloadStallSeconds", "60")
// The most bytes one download may take (twice the largest archive the FCC has published); read as a
// 64-bit number.
LW_TEXT_SETTING(DownloadMaxBytes, qint64, "Settings", "DownloadMaxBytes", "1073741824")
// Web hosts of the FCC licence page and the QRZ callbook page ("&FCC Lookup", "&QRZ Lookup").
LW_SETTING(FccLicenseHost, QString, "Settings", "FccLicenseHost", "wireless2.fcc.gov")
LW_SETTING(QrzWebHost, QString, "Settings", "QrzWebHost", "www.qrz.com")
// The FCC's ULS web host, whose weekly-transactions page lists the newest licence archive ("Check").
LW_SETTING(FccUlsWebHost, QString, "Settings", "FccUlsWebHost", "https://wireless.fcc.gov")

// The QRZ XML callbook (F8): its address and the account's user name; the password is kept in the
// desktop keyring, never here. A host without "http://" is reached over HTTPS.
LW_SETTING(QrzXmlHost, QString, "QrzAccount", "XmlHost", "https://xmldata.qrz.com")
LW_SETTING(QrzUserName, QString, "QrzAccount", "UserName", "")

// Network time-outs (milliseconds) and retries.
LW_TEXT_SETTING(NetConTO, int, "NetSettings", "NetConTO", "15000")
LW_TEXT_SETTING(NetRetNum, int, "NetSettings", "NetRetNum", "1")
LW_TEXT_SETTING(NetCtrlRecTO, int, "NetSettings", "NetCtrlRecTO", "5000")
LW_TEXT_SETTING(NetCtrlSndTO, int, "NetSettings", "NetCtrlSndTO", "5000")
LW_TEXT_SETTING(NetDataRecTO, int, "NetSettings", "NetDataRecTO", "5000")
LW_TEXT_SETTING(NetDataSndTO, int, "NetSettings", "NetDataSndTO", "5000")
LW_TEXT_SETTING(NetRecTO, int, "NetSettings", "NetRecTO", "5000")
LW_TEXT_SETTING(NetSndTO, int, "NetSettings", "NetSndTO", "5000")
// The longest a whole exchange with a web server may take, answer to a 401 included.
LW_TEXT_SETTING(NetExchangeTO, int, "NetSettings", "NetExchangeTO", "60000")

// The club's web server for pre-net check-ins, the station listing and the net report. Empty until the
// operator names it: nothing goes to a server nobody chose.
LW_SETTING(PreNetServer, QString, "PreNet", "Server", "")
// The club's web server that receives the net-log page (its "cgi-bin/netlog.cgi"); "https://host",
// "host:port" and "user@host" are understood. Empty: the club's server above.
LW_SETTING(NetLogServer, QString, "NetLog", "Server", "")

// The "Upload: " bar's "Auto Mode" and "Reverse" (stored as 0 or 1), kept so that a restart in the middle
// of a net goes on publishing as before.
LW_SETTING(NetLogAutoMode, bool, "NetLog", "AutoMode", "0")
LW_SETTING(NetLogReverse, bool, "NetLog", "Reverse", "0")

// The club and its net (View > Net Settings): on the net-log page, in the blast's subject, in the title of
// the preamble and the net report. An empty value stands for the default.
LW_SETTING(ClubName, QString, "Club", "Name", "Ostravel Amateur Radio Club")
LW_SETTING(NetName, QString, "Club", "NetName", "Ostravel 2 Meter Net")
LW_SETTING(NetFrequency, QString, "Club", "Frequency", "146.61")
LW_SETTING(NetStartTime, QString, "Club", "StartTime", "9:00 PM")
// The station the net is run from, for the ADIF export: its call sign, the operator's own call (empty: the
// station's), and the mode (FREQ and BAND come from the frequency above, MY_GRIDSQUARE from MyGrid).
LW_SETTING(StationCall, QString, "Club", "StationCall", "")
LW_SETTING(StationOperator, QString, "Club", "Operator", "")
LW_SETTING(StationMode, QString, "Club", "Mode", "FM")

// Net report.
LW_SETTING(ReportAnnounce, bool, "NetReport", "Announce", "0")
LW_SETTING(ReportCall, QString, "NetReport", "Call", "Replace with Your Call Sign")
LW_SETTING(ReportCheckIns, QString, "NetReport", "CheckIns", "Your Check In Count Here")
LW_SETTING(ReportMessage, QString, "NetReport", "Message", "Your Message Number Here")
LW_SETTING(ReportName, QString, "NetReport", "Name", "Replace with Your First Name")
LW_SETTING(ReportTraffic, QString, "NetReport", "Traffic", "Your Traffic Count Here")
LW_SETTING(ReportDate, QString, "NetReport", "Date", "")

// The net-control roster (see NetRoster.h): first name and call sign of each entry, in the order of
// NetRoster::Entry. The defaults are placeholders for the user's own roster.
LW_SETTING_ARRAY(RosterName, QString, {"NcsRoster", "SundayName", "Sunday"},
                 {"NcsRoster", "MondayAName", "Monday A"}, {"NcsRoster", "MondayBName", "Monday B"},
                 {"NcsRoster", "TuesdayName", "Tuesday"}, {"NcsRoster", "WednesdayName", "Wednesday"},
                 {"NcsRoster", "ThursdayName", "Thursday"}, {"NcsRoster", "FridayName", "Friday"},
                 {"NcsRoster", "SaturdayAName", "Saturday A"}, {"NcsRoster", "SaturdayBName", "Saturday B"},
                 {"NcsRoster", "SaturdayCName", "Saturday C"})
LW_SETTING_ARRAY(RosterCall, QString, {"NcsRoster", "SundayCall", "N0CALL"},
                 {"NcsRoster", "MondayACall", "N0CALL"}, {"NcsRoster", "MondayBCall", "N0CALL"},
                 {"NcsRoster", "TuesdayCall", "N0CALL"}, {"NcsRoster", "WednesdayCall", "N0CALL"},
                 {"NcsRoster", "ThursdayCall", "N0CALL"}, {"NcsRoster", "FridayCall", "N0CALL"},
                 {"NcsRoster", "SaturdayACall", "N0CALL"}, {"NcsRoster", "SaturdayBCall", "N0CALL"},
                 {"NcsRoster", "SaturdayCCall", "N0CALL"})

// The transmitter toggle: the program run, the script it runs on the host, the host offered at start (the
// last one used), and how many seconds the command may take.
LW_SETTING(TransmitterProgram, QString, "Transmitter", "Program", "ssh")
LW_SETTING(TransmitterScript, QString, "Transmitter", "Script", "bin/TXToggle.bash")
LW_SETTING(TransmitterHost, QString, "Transmitter", "Host", "transmitter.example.org")
LW_SETTING(TransmitterTimeOut, int, "Transmitter", "TimeOut", "30")

// Net recordings.
LW_SETTING(WaveName, QString, "WaveFile", "Name", "Test01.wav")
LW_SETTING(WavePath, QString, "WaveFile", "Path", "%s/AudioFiles")
LW_SETTING(WaveRemember, bool, "WaveFile", "Remember", "0")

// ALSA device names: the capture device wired to the receiver, the playback device for the call-sign
// sounds, and the card whose playback volume the form's slider sets.
LW_SETTING(CaptureDevice, QString, "Audio", "CaptureDevice", "default")
LW_SETTING(PlaybackDevice, QString, "Audio", "PlaybackDevice", "default")
LW_SETTING(MixerCard, QString, "Audio", "MixerCard", "default")
// Outgoing mail (the blast e-mail): server, port, security ("none", "starttls" or "tls"), user name for
// AUTH (empty: none; the password is in the keyring), the sender in display form, the pause between
// two messages (seconds), a CA file trusted besides the system's, and the time-outs (milliseconds) of
// the connection and of each reply.
LW_SETTING(MailServer, QString, "Mail", "Server", "smtp.example.org")
LW_SETTING(MailPort, int, "Mail", "Port", "25")
LW_SETTING(MailSecurity, QString, "Mail", "Security", "none")
LW_SETTING(MailUser, QString, "Mail", "User", "")
LW_SETTING(MailFrom, QString, "Mail", "From", "\"N0CALL Net\" <n0call@example.org>")
LW_SETTING(MailPause, int, "Mail", "PauseSeconds", "5")
LW_SETTING(MailCaFile, QString, "Mail", "CaFile", "")
LW_SETTING(MailConnectTimeOut, int, "Mail", "ConnectTimeOut", "20000")
LW_SETTING(MailReplyTimeOut, int, "Mail", "ReplyTimeOut", "60000")
// The subject of the last blast; empty while it is the one made from the net's details, which then
// follows them.
LW_SETTING(MailSubject, QString, "Mail", "Subject", "")
