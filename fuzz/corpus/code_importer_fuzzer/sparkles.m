#import <UIKit/UIKit.h>

@interface SparkleViewController : UIViewController
@property (nonatomic, strong) CAEmitterLayer *sparkleLayer;
@end

@implementation SparkleViewController

- (void)viewDidLoad {
    [super viewDidLoad];
    self.sparkleLayer = [CAEmitterLayer layer];
    self.sparkleLayer.emitterPosition = CGPointMake(160.0f, 240.0f);
    self.sparkleLayer.emitterSize = CGSizeMake(40.0, 40.0);
    self.sparkleLayer.emitterShape = kCAEmitterLayerCircle;
    self.sparkleLayer.emitterMode = kCAEmitterLayerOutline;
    self.sparkleLayer.renderMode = kCAEmitterLayerAdditive;
    self.sparkleLayer.lifetime = 2.0;

    CAEmitterCell *sparkle = [self sparkleWithColor:[UIColor colorWithRed:1.0 green:0.9 blue:0.4 alpha:1.0]];
    CAEmitterCell *glow = [CAEmitterCell emitterCell];
    [glow setName:@"glow"];
    glow.birthRate = 5;
    glow.lifetime = 1.5f;
    glow.scale = .5;
    glow.color = [[UIColor yellowColor] colorWithAlphaComponent:0.3].CGColor;
    glow.contents = (__bridge id)[UIImage imageNamed:@"spark"].CGImage;

    self.sparkleLayer.emitterCells = @[sparkle, glow];
    [self.view.layer addSublayer:self.sparkleLayer];

    CABasicAnimation *fade = [CABasicAnimation animationWithKeyPath:@"birthRate"];
    fade.fromValue = @1;
    fade.toValue = @0;
    [self.sparkleLayer addAnimation:fade forKey:@"fade"];
}

- (CAEmitterCell *)sparkleWithColor:(UIColor *)color {
    CAEmitterCell *cell = [[CAEmitterCell alloc] init];
    cell.name = @"sparkle";
    cell.birthRate = 80;
    cell.lifetime = 0.8;
    cell.lifetimeRange = 0.3;
    cell.velocity = 60;
    cell.velocityRange = 30;
    cell.emissionRange = M_PI * 2;
    cell.spin = M_PI;
    cell.scale = 0.1;
    cell.scaleSpeed = -0.1;
    cell.alphaSpeed = -1.0;
    cell.color = [color CGColor];
    cell.contents = (id)[[UIImage imageNamed:@"spark"] CGImage];
    return cell;
}

@end
