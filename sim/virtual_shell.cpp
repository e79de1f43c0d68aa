#include "sim/virtual_shell.h"

#include <cctype>
#include <regex>
#include <stdexcept>

namespace kestrine::sim {

// ---------------------------------------------------------------- file tree

VirtualFileSystem::VirtualFileSystem()
    : directories_{"/",    "/private", "/private/etc", "/private/etc/sudoers.d", "/private/tmp",
                   "/usr", "/usr/bin", "/tmp"} {}

std::string VirtualFileSystem::normalise(std::string_view path) {
  std::string out;
  for (char c : path) {
    if (c == '/' && !out.empty() && out.back() == '/') continue;
    out += c;
  }
  if (out.size() > 1 && out.back() == '/') out.pop_back();
  // /etc and /tmp are links into /private on the machine being emulated.
  for (std::string_view link : {"/etc", "/tmp"}) {
    if (out == link || out.starts_with(std::string(link) + "/")) out = "/private" + out;
  }
  return out;
}

std::string VirtualFileSystem::parentOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return path.substr(0, slash);
}

bool VirtualFileSystem::exists(std::string_view path) const {
  const std::string p = normalise(path);
  return directories_.contains(p) || files_.contains(p);
}

const VirtualFileSystem::File* VirtualFileSystem::file(std::string_view path) const {
  const auto it = files_.find(normalise(path));
  return it == files_.end() ? nullptr : &it->second;
}

std::optional<std::string> VirtualFileSystem::makeDirectory(std::string_view path, bool parents) {
  const std::string p = normalise(path);
  if (files_.contains(p)) return p + ": File exists";
  if (directories_.contains(p)) {
    if (parents) return std::nullopt;
    return p + ": File exists";
  }
  const std::string parent = parentOf(p);
  if (!directories_.contains(parent)) {
    if (!parents) return p + ": No such file or directory";
    if (auto error = makeDirectory(parent, true)) return error;
  }
  directories_.insert(p);
  return std::nullopt;
}

std::optional<std::string> VirtualFileSystem::writeFile(std::string_view path, std::string content,
                                                        bool append) {
  const std::string p = normalise(path);
  if (directories_.contains(p)) return p + ": Is a directory";
  if (!directories_.contains(parentOf(p))) return p + ": No such file or directory";
  auto& file = files_[p];
  if (append) {
    file.content += content;
  } else {
    file.content = std::move(content);
  }
  return std::nullopt;
}

std::optional<std::string> VirtualFileSystem::setMode(std::string_view path, unsigned mode) {
  const auto it = files_.find(normalise(path));
  if (it == files_.end()) return std::string(path) + ": No such file or directory";
  it->second.mode = mode;
  return std::nullopt;
}

std::optional<std::string> VirtualFileSystem::move(std::string_view from, std::string_view to) {
  const std::string source = normalise(from);
  std::string target = normalise(to);
  const auto it = files_.find(source);
  if (it == files_.end()) return std::string(from) + ": No such file or directory";
  if (directories_.contains(target)) target += "/" + source.substr(source.rfind('/') + 1);
  if (!directories_.contains(parentOf(target)))
    return std::string(to) + ": No such file or directory";
  File moved = it->second;
  files_.erase(it);
  files_[target] = std::move(moved);
  return std::nullopt;
}

std::optional<std::string> VirtualFileSystem::remove(std::string_view path) {
  if (files_.erase(normalise(path)) == 0) return std::string(path) + ": No such file or directory";
  return std::nullopt;
}

bool sudoersSyntaxOk(std::string_view content) {
  static const std::regex rule(
      R"(^[A-Za-z0-9._-]+[ \t]+[A-Za-z0-9_.]+[ \t]*=[ \t]*\([A-Za-z0-9_:]+\)[ \t]*)"
      R"((NOPASSWD:[ \t]*)?/[^ \t]+([ \t]+.*)?$)");
  std::size_t start = 0;
  while (start <= content.size()) {
    auto end = content.find('\n', start);
    if (end == std::string_view::npos) end = content.size();
    const std::string line(content.substr(start, end - start));
    const auto first = line.find_first_not_of(" \t");
    if (first != std::string::npos && line[first] != '#' &&
        !std::regex_match(line.substr(first), rule)) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// ---------------------------------------------------------------- the shell

namespace {

struct Token {
  enum Kind {
    kWord,
    kAnd,
    kOr,
    kSemicolon,
    kRedirect,
    kAppend,
    kRedirectOther,
    kOpenParen,
    kCloseParen,
    kEnd
  };
  Kind kind;
  std::string text;
  bool quoted = false;
};

struct SyntaxError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

std::vector<Token> tokenise(std::string_view s) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == ' ' || c == '\t') {
      ++i;
      continue;
    }
    if (c == '\n' || c == ';') {
      tokens.push_back({Token::kSemicolon, ";"});
      ++i;
      continue;
    }
    if (s.substr(i, 2) == "&&") {
      tokens.push_back({Token::kAnd, "&&"});
      i += 2;
      continue;
    }
    if (s.substr(i, 2) == "||") {
      tokens.push_back({Token::kOr, "||"});
      i += 2;
      continue;
    }
    if (s.substr(i, 2) == ">>") {
      tokens.push_back({Token::kAppend, ">>"});
      i += 2;
      continue;
    }
    if (s.substr(i, 3) == "2>&" || s.substr(i, 2) == "2>") {
      // Standard error goes nowhere in particular here; read and drop the target.
      i += s.substr(i, 3) == "2>&" ? 3 : 2;
      tokens.push_back({Token::kRedirectOther, "2>"});
      continue;
    }
    if (c == '>') {
      tokens.push_back({Token::kRedirect, ">"});
      ++i;
      continue;
    }
    if (c == '(' || c == ')') {
      tokens.push_back({c == '(' ? Token::kOpenParen : Token::kCloseParen, std::string(1, c)});
      ++i;
      continue;
    }
    if (c == '|' || c == '&' || c == '<' || c == '`') {
      throw SyntaxError(std::string("unsupported shell syntax '") + c + "'");
    }
    Token word{Token::kWord, ""};
    while (i < s.size()) {
      const char d = s[i];
      if (d == ' ' || d == '\t' || d == '\n' || d == ';' || d == '&' || d == '|' || d == '>' ||
          d == '<' || d == '(' || d == ')') {
        break;
      }
      if (d == '\'') {
        const auto close = s.find('\'', i + 1);
        if (close == std::string_view::npos) throw SyntaxError("unterminated quoted string");
        word.text += s.substr(i + 1, close - i - 1);
        word.quoted = true;
        i = close + 1;
      } else if (d == '"') {
        ++i;
        word.quoted = true;
        while (true) {
          if (i >= s.size()) throw SyntaxError("unterminated quoted string");
          if (s[i] == '"') break;
          if (s[i] == '$' || s[i] == '`') throw SyntaxError("unsupported expansion");
          if (s[i] == '\\' && i + 1 < s.size() &&
              (s[i + 1] == '"' || s[i + 1] == '\\' || s[i + 1] == '$' || s[i + 1] == '`')) {
            ++i;
          }
          word.text += s[i++];
        }
        ++i;
      } else if (d == '\\') {
        if (i + 1 < s.size()) word.text += s[i + 1];
        i += 2;
      } else if (d == '$') {
        throw SyntaxError("unsupported expansion");
      } else {
        word.text += d;
        ++i;
      }
    }
    tokens.push_back(word);
  }
  tokens.push_back({Token::kEnd, ""});
  return tokens;
}

struct ExitRequest {
  int status;
};

class Shell {
 public:
  Shell(std::vector<Token> tokens, VirtualFileSystem& fs,
        const std::function<int(const std::vector<std::string>&)>& pmset, ShellResult& result)
      : tokens_(std::move(tokens)), fs_(fs), pmset_(pmset), result_(result) {}

  // Runs the whole script; `execute` false only checks the syntax.
  int script(bool execute) {
    pos_ = 0;
    const int status = list(execute, Token::kEnd);
    if (peek().kind != Token::kEnd) throw SyntaxError("syntax error near '" + peek().text + "'");
    return status;
  }

 private:
  const Token& peek() const { return tokens_[pos_]; }
  bool isWord(std::string_view text) const {
    return peek().kind == Token::kWord && !peek().quoted && peek().text == text;
  }

  int list(bool execute, Token::Kind until, std::string_view untilWord = {}) {
    int status = 0;
    while (true) {
      while (peek().kind == Token::kSemicolon) ++pos_;
      if (peek().kind == Token::kEnd || peek().kind == until ||
          (!untilWord.empty() && isWord(untilWord))) {
        return status;
      }
      status = andOr(execute);
    }
  }

  int andOr(bool execute) {
    int status = command(execute);
    while (peek().kind == Token::kAnd || peek().kind == Token::kOr) {
      const bool isAnd = peek().kind == Token::kAnd;
      ++pos_;
      const bool run = execute && (isAnd ? status == 0 : status != 0);
      const int next = command(run);
      if (run) status = next;
    }
    return status;
  }

  int command(bool execute) {
    if (isWord("{")) {
      ++pos_;
      const int status = list(execute, Token::kEnd, "}");
      if (!isWord("}")) throw SyntaxError("missing '}'");
      ++pos_;
      return status;
    }
    if (peek().kind == Token::kOpenParen) {
      ++pos_;
      const int status = list(execute, Token::kCloseParen);
      if (peek().kind != Token::kCloseParen) throw SyntaxError("missing ')'");
      ++pos_;
      return status;
    }
    std::vector<std::string> words;
    std::optional<std::string> redirect;
    bool append = false;
    while (true) {
      const Token& t = peek();
      if (t.kind == Token::kWord) {
        words.push_back(t.text);
        ++pos_;
      } else if (t.kind == Token::kRedirect || t.kind == Token::kAppend ||
                 t.kind == Token::kRedirectOther) {
        const Token::Kind kind = t.kind;
        ++pos_;
        if (peek().kind != Token::kWord) throw SyntaxError("missing file after redirection");
        if (kind != Token::kRedirectOther) {
          redirect = peek().text;
          append = kind == Token::kAppend;
        }
        ++pos_;
      } else {
        break;
      }
    }
    if (words.empty()) throw SyntaxError("syntax error near '" + peek().text + "'");
    if (!execute) return 0;
    std::string out;
    const int status = simple(words, out);
    if (redirect) {
      if (auto error = fs_.writeFile(*redirect, out, append)) {
        result_.errors += "sh: " + *error + "\n";
        return 1;
      }
    } else {
      result_.output += out;
    }
    return status;
  }

  int fail(const std::string& tool, const std::string& message, int status = 1) {
    result_.errors += tool + ": " + message + "\n";
    return status;
  }

  int simple(const std::vector<std::string>& words, std::string& out) {
    std::string name = words[0];
    if (const auto slash = name.rfind('/'); slash != std::string::npos) {
      name = name.substr(slash + 1);
    }
    const std::vector<std::string> args(words.begin() + 1, words.end());
    if (name == "true") return 0;
    if (name == "false") return 1;
    if (name == "exit") throw ExitRequest{args.empty() ? 0 : std::atoi(args[0].c_str())};
    if (name == "echo") {
      bool newline = true;
      std::size_t i = 0;
      if (!args.empty() && args[0] == "-n") {
        newline = false;
        i = 1;
      }
      for (std::size_t k = i; k < args.size(); ++k) {
        if (k > i) out += ' ';
        out += args[k];
      }
      if (newline) out += '\n';
      return 0;
    }
    if (name == "mkdir") {
      bool parents = false;
      int status = 0;
      for (const auto& a : args) {
        if (a == "-p") {
          parents = true;
        } else if (auto error = fs_.makeDirectory(a, parents)) {
          status = fail("mkdir", *error);
        }
      }
      return status;
    }
    if (name == "chmod") {
      if (args.size() < 2) return fail("chmod", "usage");
      unsigned mode = 0;
      for (char c : args[0]) {
        if (c < '0' || c > '7') return fail("chmod", "Invalid file mode: " + args[0]);
        mode = mode * 8 + static_cast<unsigned>(c - '0');
      }
      int status = 0;
      for (std::size_t k = 1; k < args.size(); ++k) {
        if (auto error = fs_.setMode(args[k], mode)) status = fail("chmod", *error);
      }
      return status;
    }
    if (name == "chown") {
      for (std::size_t k = 1; k < args.size(); ++k) {
        if (!fs_.exists(args[k])) return fail("chown", args[k] + ": No such file or directory");
      }
      return args.size() >= 2 ? 0 : fail("chown", "usage");
    }
    if (name == "mv") {
      std::vector<std::string> paths;
      for (const auto& a : args) {
        if (a != "-f") paths.push_back(a);
      }
      if (paths.size() != 2) return fail("mv", "usage");
      if (auto error = fs_.move(paths[0], paths[1])) return fail("mv", *error);
      return 0;
    }
    if (name == "rm") {
      bool force = false;
      int status = 0;
      for (const auto& a : args) {
        if (a == "-f") {
          force = true;
        } else if (auto error = fs_.remove(a); error && !force) {
          status = fail("rm", *error);
        }
      }
      return status;
    }
    if (name == "cat") {
      for (const auto& a : args) {
        const auto* file = fs_.file(a);
        if (!file) return fail("cat", a + ": No such file or directory");
        out += file->content;
      }
      return 0;
    }
    if (name == "visudo") {
      std::optional<std::string> path;
      bool check = false;
      for (std::size_t k = 0; k < args.size(); ++k) {
        if (args[k] == "-c") {
          check = true;
        } else if (args[k] == "-cf" && k + 1 < args.size()) {
          check = true;
          path = args[++k];
        } else if (args[k] == "-f" && k + 1 < args.size()) {
          path = args[++k];
        }
      }
      if (!check || !path) return fail("visudo", "only checking a file is available here");
      const auto* file = fs_.file(*path);
      if (!file) return fail("visudo", "unable to open " + *path + ": No such file or directory");
      if (!sudoersSyntaxOk(file->content)) {
        return fail("visudo", *path + ": syntax error");
      }
      out += *path + ": parsed OK\n";
      return 0;
    }
    if (name == "pmset") return pmset_(args);
    return fail("sh", words[0] + ": command not found", 127);
  }

  std::vector<Token> tokens_;
  std::size_t pos_ = 0;
  VirtualFileSystem& fs_;
  const std::function<int(const std::vector<std::string>&)>& pmset_;
  ShellResult& result_;
};

}  // namespace

ShellResult runVirtualShell(std::string_view command, VirtualFileSystem& fs,
                            const std::function<int(const std::vector<std::string>&)>& pmset) {
  ShellResult result;
  try {
    Shell shell(tokenise(command), fs, pmset, result);
    shell.script(false);  // like sh, refuse a script that does not parse before running any of it
    result.status = shell.script(true);
  } catch (const SyntaxError& error) {
    result.errors += std::string("sh: ") + error.what() + "\n";
    result.status = 2;
  } catch (const ExitRequest& request) {
    result.status = request.status;
  }
  return result;
}

}  // namespace kestrine::sim
