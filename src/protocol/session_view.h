#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace nimbrel {

// Background colours of the link pane of the status bar (COLORREF byte order: 0x00BBGGRR).
inline constexpr std::uint32_t kColourYellow = 0x00FFFF;
inline constexpr std::uint32_t kColourGreen = 0x00FF00;
inline constexpr std::uint32_t kColourRed = 0x0000FF;

struct LinkStatus {
  std::string text;
  std::uint32_t colour = kColourYellow;
  std::uint32_t alternateColour = 0x000080; // for the pane's alternative drawing style
};

// What the windows show of the connection and the instrument commands. The desktop program
// implements it with dialogs and the status bar, nimbrel-cli with standard error and its flags, the
// tests with recorders.
class ISessionView {
public:
  ISessionView() = default;
  ISessionView(const ISessionView&) = delete;
  ISessionView& operator=(const ISessionView&) = delete;
  virtual ~ISessionView() = default;

  virtual void SetLinkStatus(const LinkStatus& status) = 0;
  virtual void SetTitle(const std::string& title) = 0;
  // The connecting dialog: shown (created on first use) with a text, or hidden.
  virtual void ShowConnecting(const std::string& text) = 0;
  virtual void HideConnecting() = 0;
  // Reported once at the end of every Connect, whatever the outcome.
  virtual void ConnectFinished(bool connected) = 0;
  // The modal "Instrument Info" dialog; returns when the user pressed OK.
  virtual void ShowInstrumentInfo(const std::string& text) = 0;
  // The setup wait dialog ("Nimbrel Setup"): shown with a text, destroyed when its procedure ends.
  virtual void ShowWaitDialog(const std::string& text) = 0;
  virtual void DestroyWaitDialog() = 0;
  // The setup read has its last value (GET_TIP_VALUE): the setup dialog opens.
  virtual void ShowSetupDialog() = 0;
  // The serial number dialog with its prompt; at most 8 characters; nullopt is Cancel.
  virtual std::optional<std::string> AskSerialNumber(const std::string& prompt) = 0;
  // The save prompt for downloaded data before disconnecting: -1 abandons the disconnection.
  virtual int SavePrompt() = 0;
  [[nodiscard]] virtual bool IsMinimised() const { return false; }
};

} // namespace nimbrel
