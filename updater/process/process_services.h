#pragma once
// What the update process needs from the system for its event actions, behind
// one interface so that tests answer with fakes.

#include <string>

class IProcessServices {
 public:
  virtual ~IProcessServices() = default;
  virtual bool FileExists(const std::string& path) = 0;
  // Starts a program (with its parameters split by the platform's command-line
  // rules, never through a shell) or opens a web address or document with the
  // desktop's opener. Not waited for; failures are ignored by the caller.
  virtual void StartProgram(const std::string& location, const std::string& parameters,
                            const std::string& working_folder) = 0;
  // Whether a program with this file name (or path) runs for the user.
  virtual bool IsProcessRunning(const std::string& file_name) = 0;
  // Closes the application (title, file name); true when it no longer runs.
  virtual bool CloseApplication(const std::string& title, const std::string& file_name) = 0;
  // A modal yes/no confirmation; true for yes.
  virtual bool Confirm(const std::string& caption, const std::string& heading,
                       const std::string& text, const std::string& yes_text,
                       const std::string& no_text) = 0;
};
