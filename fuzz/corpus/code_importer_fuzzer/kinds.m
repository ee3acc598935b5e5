@implementation SparkView
+ (Class)layerClass { return [CAEmitterLayer class]; }
- (CAEmitterCell *)cellWithScale:(CGFloat)scale { CAEmitterCell *c = [CAEmitterCell emitterCell]; c.scale = scale; [c setBirthRate:5]; c.color = [[UIColor colorWithWhite:0.5 alpha:1] CGColor]; c.contents = (id)[UIImage imageNamed:@"spark"].CGImage; return c; }
- (void)awakeFromNib { CAEmitterLayer *l = (CAEmitterLayer *)self.layer; l.emitterMode = kCAEmitterLayerOutline; l.emitterCells = @[[self cellWithScale:0.5], [self cellWithScale:M_PI_4]]; for (int i = 0; i < 2; i++) { l.lifetime = i; } [l setValue:@0 forKeyPath:@"emitterCells.x.birthRate"]; }
@end
