#include "platform/macos/login_item.h"

#import <Foundation/Foundation.h>
#import <ServiceManagement/ServiceManagement.h>

namespace kestrine::macos {

bool registerMainAppAtLogin() {
  SMAppService* service = [SMAppService mainAppService];
  if ([service status] == SMAppServiceStatusEnabled) return true;
  NSError* error = nil;
  return [service registerAndReturnError:&error] == YES;
}

}  // namespace kestrine::macos
